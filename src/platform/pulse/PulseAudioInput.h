#pragma once

#include <memory>
#include <string>

#include "platform/AudioInput.h"

namespace ostrel::platform {

// Sound input through a PulseAudio server (or PipeWire's pulse server): a
// record stream on a threaded main loop of its own. The sink runs on that
// loop's thread.
class PulseAudioInput final : public AudioInput {
 public:
  struct Options {
    std::string server;  // empty: the client library's default lookup
    std::string source;  // empty: the server's default source
    std::string clientName = "Ostrel";
    // How much sound the server gathers before sending it; also how much can
    // still be on its way when capture ends.
    int fragmentMilliseconds = 20;
    // A server that neither answers nor refuses is given up after this long.
    int timeoutMilliseconds = 3000;
  };

  PulseAudioInput();
  explicit PulseAudioInput(Options options);
  ~PulseAudioInput() override;
  PulseAudioInput(const PulseAudioInput&) = delete;
  PulseAudioInput& operator=(const PulseAudioInput&) = delete;

  bool open(const AudioFormat& format, AudioSink sink) override;
  bool start() override;
  bool pause() override;
  bool finish() override;
  void close() override;

  struct Session;  // the loop, context and stream of one open()

 private:
  bool cork(bool corked);

  Options options_;
  std::unique_ptr<Session> session_;
};

}  // namespace ostrel::platform
