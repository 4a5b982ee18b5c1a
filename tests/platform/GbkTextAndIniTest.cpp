#include <gtest/gtest.h>

#include <string>

#include "platform/ini/IniDocument.h"
#include "platform/text/GbkText.h"

namespace ostrel::platform {
namespace {

TEST(GbkText, ConvertsBothWaysAndMarksWhatGbkCannotHold) {
  struct Case {
    std::string utf8;
    std::string gbk;
  };
  const Case cases[] = {
      {"", ""},
      {"Config", "Config"},
      {"录制文件Temp",
       "\xC2\xBC\xD6\xC6\xCE\xC4\xBC\xFE"
       "Temp"},
      {"视频设置", "\xCA\xD3\xC6\xB5\xC9\xE8\xD6\xC3"},
      {"a😀b", "a?b"},
      {"x\xFFy", "x?y"},  // not UTF-8 at all
  };
  for (const auto& c : cases) {
    EXPECT_EQ(utf8ToGbk(c.utf8), c.gbk) << c.utf8;
  }
  EXPECT_EQ(gbkToUtf8("\xC2\xBC\xD6\xC6\xCE\xC4\xBC\xFE"
                      "Temp"),
            "录制文件Temp");
  EXPECT_EQ(gbkToUtf8("ok\xC2"), "ok?");  // cut short in the middle of a character
}

TEST(IniDocument, WritesWhatTheProfileWriterWrites) {
  IniDocument ini;
  ini.set("视频设置", "周期", "125");
  ini.set("自设信息", "X", "0");
  ini.set("自设信息", "Y", "7");
  ini.set("自设信息", "内容", "");
  ini.set("自设信息", "y", "0");  // an existing key keeps its place
  EXPECT_EQ(ini.serialize(), utf8ToGbk("[视频设置]\r\n周期=125\r\n[自设信息]\r\nX=0\r\nY=0\r\n内容=\r\n"));
}

TEST(IniDocument, ReadsCrLfAndLfFiles) {
  for (const std::string eol : {"\r\n", "\n"}) {
    const std::string text = utf8ToGbk("; note" + eol + "[视频设置]" + eol + " 周期 = 100 " + eol + "junk" +
                                       eol + "[Other]" + eol + "Key=\"quoted\"" + eol + "key=second" + eol);
    const IniDocument ini = IniDocument::parse(text);
    EXPECT_EQ(ini.get("视频设置", "周期"), "100");
    EXPECT_EQ(ini.get("other", "KEY"), "quoted");
    EXPECT_EQ(ini.get("视频设置", "X"), std::nullopt);
    EXPECT_EQ(ini.get("自设信息", "X"), std::nullopt);
  }
}

}  // namespace
}  // namespace ostrel::platform
