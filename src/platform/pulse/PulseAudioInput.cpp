#include "platform/pulse/PulseAudioInput.h"

#include <pulse/context.h>
#include <pulse/rtclock.h>
#include <pulse/sample.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <thread>

namespace ostrel::platform {

namespace {

struct LoopDeleter {
  void operator()(pa_threaded_mainloop* loop) const { pa_threaded_mainloop_free(loop); }
};
struct ContextDeleter {
  void operator()(pa_context* context) const { pa_context_unref(context); }
};
struct StreamDeleter {
  void operator()(pa_stream* stream) const { pa_stream_unref(stream); }
};
struct OperationDeleter {
  void operator()(pa_operation* operation) const { pa_operation_unref(operation); }
};

}  // namespace

struct PulseAudioInput::Session {
  std::unique_ptr<pa_threaded_mainloop, LoopDeleter> loop;
  std::unique_ptr<pa_context, ContextDeleter> context;
  std::unique_ptr<pa_stream, StreamDeleter> stream;
  bool loopRunning = false;
  AudioSink sink;
  uint8_t silence = 0;

  // Touched on the loop thread; read and written elsewhere only under the loop lock.
  bool delivering = true;
  bool timedOut = false;
  bool operationSucceeded = false;

  void signal() { pa_threaded_mainloop_signal(loop.get(), 0); }
  void wait() { pa_threaded_mainloop_wait(loop.get()); }
};

namespace {

using Session = PulseAudioInput::Session;

class LoopLock {
 public:
  explicit LoopLock(Session& session) : loop_(session.loop.get()) { pa_threaded_mainloop_lock(loop_); }
  ~LoopLock() { pa_threaded_mainloop_unlock(loop_); }
  LoopLock(const LoopLock&) = delete;
  LoopLock& operator=(const LoopLock&) = delete;

 private:
  pa_threaded_mainloop* loop_;
};

void onContextState(pa_context*, void* userdata) { static_cast<Session*>(userdata)->signal(); }
void onStreamState(pa_stream*, void* userdata) { static_cast<Session*>(userdata)->signal(); }

void onTimeout(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
  auto* session = static_cast<Session*>(userdata);
  session->timedOut = true;
  session->signal();
}

void onOperationDone(pa_stream*, int success, void* userdata) {
  auto* session = static_cast<Session*>(userdata);
  session->operationSucceeded = success != 0;
  session->signal();
}

// Hands everything the stream holds to the sink. Runs under the loop lock.
void drain(Session& session) {
  pa_stream* stream = session.stream.get();
  for (;;) {
    const void* data = nullptr;
    size_t size = 0;
    if (pa_stream_peek(stream, &data, &size) < 0 || size == 0) return;
    if (session.delivering) {
      if (data != nullptr) {
        session.sink(std::span(static_cast<const uint8_t*>(data), size));
      } else {
        // A gap in the capture: silence keeps the sound in step with the picture.
        std::array<uint8_t, 4096> quiet;
        quiet.fill(session.silence);
        for (size_t left = size; left > 0;) {
          const size_t piece = std::min(left, quiet.size());
          session.sink(std::span<const uint8_t>(quiet.data(), piece));
          left -= piece;
        }
      }
    }
    pa_stream_drop(stream);
  }
}

void onReadable(pa_stream*, size_t, void* userdata) { drain(*static_cast<Session*>(userdata)); }

bool streamReady(const Session& session) {
  return session.stream && pa_stream_get_state(session.stream.get()) == PA_STREAM_READY;
}

// Waits on the loop until `settled` holds or `milliseconds` pass, so that a
// server that stops answering cannot freeze the caller. Runs under the loop lock.
template <class Settled>
bool waitLocked(Session& session, int milliseconds, Settled settled) {
  session.timedOut = false;
  const pa_usec_t deadline = pa_rtclock_now() + static_cast<pa_usec_t>(milliseconds) * PA_USEC_PER_MSEC;
  pa_time_event* timer = pa_context_rttime_new(session.context.get(), deadline, onTimeout, &session);
  while (!settled() && !session.timedOut) session.wait();
  if (timer != nullptr) pa_threaded_mainloop_get_api(session.loop.get())->time_free(timer);
  return settled();
}

// Corks or uncorks the stream and waits for the server's answer. Runs under the loop lock.
bool corkLocked(Session& session, bool corked, int timeoutMilliseconds) {
  if (!streamReady(session)) return false;
  session.operationSucceeded = false;
  std::unique_ptr<pa_operation, OperationDeleter> operation(
      pa_stream_cork(session.stream.get(), corked ? 1 : 0, onOperationDone, &session));
  if (!operation) return false;
  const bool answered = waitLocked(session, timeoutMilliseconds, [&] {
    return pa_operation_get_state(operation.get()) != PA_OPERATION_RUNNING;
  });
  if (!answered) pa_operation_cancel(operation.get());
  return answered && session.operationSucceeded;
}

// Connects the context and the record stream. Runs under the loop lock with the loop running.
bool connectLocked(Session& session, const PulseAudioInput::Options& options,
                   const pa_sample_spec& sampleSpec) {
  pa_context* context = session.context.get();
  const bool contextSettled = waitLocked(session, options.timeoutMilliseconds, [&] {
    const pa_context_state_t state = pa_context_get_state(context);
    return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
  });
  if (!contextSettled || pa_context_get_state(context) != PA_CONTEXT_READY) return false;

  session.stream.reset(pa_stream_new(context, "Sound", &sampleSpec, nullptr));
  if (!session.stream) return false;
  pa_stream* stream = session.stream.get();
  pa_stream_set_state_callback(stream, onStreamState, &session);
  pa_stream_set_read_callback(stream, onReadable, &session);

  // Small fragments: the server sends sound often, so little is still on its
  // way when capture ends.
  pa_buffer_attr attributes;
  attributes.maxlength = static_cast<uint32_t>(-1);
  attributes.tlength = static_cast<uint32_t>(-1);
  attributes.prebuf = static_cast<uint32_t>(-1);
  attributes.minreq = static_cast<uint32_t>(-1);
  attributes.fragsize = static_cast<uint32_t>(
      pa_usec_to_bytes(static_cast<pa_usec_t>(options.fragmentMilliseconds) * PA_USEC_PER_MSEC, &sampleSpec));
  const char* source = options.source.empty() ? nullptr : options.source.c_str();
  const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY);
  if (pa_stream_connect_record(stream, source, &attributes, flags) < 0) return false;
  waitLocked(session, options.timeoutMilliseconds, [&] {
    const pa_stream_state_t state = pa_stream_get_state(stream);
    return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
  });
  return streamReady(session);
}

}  // namespace

PulseAudioInput::PulseAudioInput() : PulseAudioInput(Options{}) {}

PulseAudioInput::PulseAudioInput(Options options) : options_(std::move(options)) {}

PulseAudioInput::~PulseAudioInput() { close(); }

bool PulseAudioInput::open(const AudioFormat& format, AudioSink sink) {
  close();
  if (format.channels < 1 || format.channels > 2) return false;
  if (format.bitsPerSample != 8 && format.bitsPerSample != 16) return false;
  pa_sample_spec sampleSpec;
  sampleSpec.format = format.bitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
  sampleSpec.rate = static_cast<uint32_t>(format.samplesPerSecond);
  sampleSpec.channels = static_cast<uint8_t>(format.channels);
  if (format.samplesPerSecond <= 0 || !pa_sample_spec_valid(&sampleSpec)) return false;

  session_ = std::make_unique<Session>();
  Session& session = *session_;
  session.sink = std::move(sink);
  session.silence = format.bitsPerSample == 8 ? 0x80 : 0x00;
  session.loop.reset(pa_threaded_mainloop_new());
  if (!session.loop) {
    close();
    return false;
  }
  session.context.reset(
      pa_context_new(pa_threaded_mainloop_get_api(session.loop.get()), options_.clientName.c_str()));
  if (!session.context) {
    close();
    return false;
  }
  pa_context_set_state_callback(session.context.get(), onContextState, &session);
  // No autospawn: without a running server there is simply no sound.
  const char* server = options_.server.empty() ? nullptr : options_.server.c_str();
  if (pa_context_connect(session.context.get(), server, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
      pa_threaded_mainloop_start(session.loop.get()) < 0) {
    close();
    return false;
  }
  session.loopRunning = true;

  bool connected = false;
  {
    LoopLock lock(session);
    connected = connectLocked(session, options_, sampleSpec);
  }
  if (!connected) close();
  return connected;
}

bool PulseAudioInput::cork(bool corked) {
  if (!session_ || !session_->loopRunning) return false;
  LoopLock lock(*session_);
  return corkLocked(*session_, corked, options_.timeoutMilliseconds);
}

bool PulseAudioInput::start() { return cork(false); }

bool PulseAudioInput::pause() { return cork(true); }

bool PulseAudioInput::finish() {
  if (!session_ || !session_->loopRunning) return false;
  // Let the fragment that holds the last moments reach us before corking.
  std::this_thread::sleep_for(std::chrono::milliseconds(options_.fragmentMilliseconds));
  Session& session = *session_;
  LoopLock lock(session);
  const bool corked = corkLocked(session, true, options_.timeoutMilliseconds);
  // Sound that arrived before the cork was answered is still queued here.
  if (session.stream) drain(session);
  session.delivering = false;
  return corked;
}

void PulseAudioInput::close() {
  if (!session_) return;
  Session& session = *session_;
  if (session.loopRunning) {
    {
      LoopLock lock(session);
      if (session.stream) {
        pa_stream_set_read_callback(session.stream.get(), nullptr, nullptr);
        pa_stream_set_state_callback(session.stream.get(), nullptr, nullptr);
        pa_stream_disconnect(session.stream.get());
      }
      pa_context_set_state_callback(session.context.get(), nullptr, nullptr);
      pa_context_disconnect(session.context.get());
    }
    pa_threaded_mainloop_stop(session.loop.get());
    session.loopRunning = false;
  }
  // The loop thread is gone; the objects can go in the order they depend on each other.
  session.stream.reset();
  session.context.reset();
  session.loop.reset();
  session_.reset();
}

}  // namespace ostrel::platform
