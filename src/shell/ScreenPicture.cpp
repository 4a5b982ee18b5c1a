#include "shell/ScreenPicture.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <cstring>

namespace ostrel::shell {

namespace {

void putLe(char* at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

QByteArray makeBmp24(const uint8_t* firstRow, int width, int height, std::ptrdiff_t stride) {
  if (!firstRow || width <= 0 || height <= 0) return {};
  const int64_t rowBytes = ((24LL * width + 31) / 32) * 4;
  const int64_t imageSize = rowBytes * height;
  const int64_t fileSize = 54 + imageSize;
  if (fileSize > INT32_MAX) return {};

  QByteArray bmp(static_cast<qsizetype>(fileSize), '\0');
  char* p = bmp.data();
  p[0] = 'B';
  p[1] = 'M';
  putLe(p + 2, static_cast<uint32_t>(fileSize), 4);
  putLe(p + 10, 54, 4);
  putLe(p + 14, 40, 4);
  putLe(p + 18, static_cast<uint32_t>(width), 4);
  putLe(p + 22, static_cast<uint32_t>(height), 4);  // positive: rows bottom-up
  putLe(p + 26, 1, 2);
  putLe(p + 28, 24, 2);
  putLe(p + 34, static_cast<uint32_t>(imageSize), 4);

  for (int y = 0; y < height; ++y) {
    const uint8_t* src = firstRow + stride * (height - 1 - y);
    char* dst = p + 54 + rowBytes * y;
    for (int x = 0; x < width; ++x) {
      dst[3 * x + 0] = static_cast<char>(src[4 * x + 0]);
      dst[3 * x + 1] = static_cast<char>(src[4 * x + 1]);
      dst[3 * x + 2] = static_cast<char>(src[4 * x + 2]);
    }
  }
  return bmp;
}

QByteArray CaptureScreenPicture() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return {};
  // Window 0 grabs the screen itself, within the primary monitor's own
  // rectangle; the X server never draws the cursor into it. One picture, not
  // the recording path, so the toolkit's grab is fast enough.
  const QImage image = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
  if (image.isNull()) return {};
  // Format_RGB32 is 0xffRRGGBB per pixel, which is B, G, R, X in memory on little-endian hosts.
  return makeBmp24(image.constBits(), image.width(), image.height(), image.bytesPerLine());
}

}  // namespace ostrel::shell
