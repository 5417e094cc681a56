// ScriptedRequestPlugin: a PluginCore whose host operations are answered in-process, for tests of
// requests: it records each request it is sent (body decoded) and the wait calls, and answers
// with a scripted response: a body record, an error text and status, or a ScriptedStream.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "binding/binding_result.h"
#include "binding/binding_value_record.h"
#include "runtime/host_contract.h"
#include "runtime/plugin_core.h"

namespace dul::testing {

// A streamed body delivered in scripted reads; counts reads and closes.
class ScriptedStream {
 public:
  struct Read {
    std::uint32_t byteCount;  // taken from the front of the text
    std::uint8_t more;
    bool succeeds = true;
    std::uint32_t overstatedBy = 0;  // added to the count reported, beyond the bytes written
  };

  ScriptedStream(std::string text, std::vector<Read> reads)
      : text_(std::move(text)), reads_(std::move(reads)) {}

  // Points the response at this stream.
  void Attach(DulHostResponseRecord& response, std::uint64_t expectedSize) {
    response.streamRead = &ReadNext;
    response.streamClose = &Close;
    response.stream = reinterpret_cast<DulStreamHandle>(this);
    response.streamExpectedSize = expectedSize;
  }

  int readCalls = 0;
  int closeCalls = 0;

 private:
  static ScriptedStream& From(DulStreamHandle handle) {
    return *reinterpret_cast<ScriptedStream*>(handle);
  }
  static std::uint8_t DUL_CALL ReadNext(DulStreamHandle handle, void* buffer,
                                        std::uint32_t* byteCount, std::uint8_t* more) {
    ScriptedStream& stream = From(handle);
    if (stream.readCalls >= static_cast<int>(stream.reads_.size()))
      return 0;
    const Read read = stream.reads_[stream.readCalls++];
    if (!read.succeeds)
      return 0;
    std::memcpy(buffer, stream.text_.data() + stream.offset_, read.byteCount);
    stream.offset_ += read.byteCount;
    *byteCount = read.byteCount + read.overstatedBy;
    *more = read.more;
    return 1;
  }
  static void DUL_CALL Close(DulStreamHandle handle) { From(handle).closeCalls++; }

  std::string text_;
  std::vector<Read> reads_;
  std::size_t offset_ = 0;
};

class ScriptedRequestPlugin : public PluginCore {
 public:
  struct SentRequest {
    std::uint32_t method;
    std::string url;
    std::uint32_t argumentCount;
    bool hasMethodText;
    std::string methodText;
    DulPluginHandle plugin;
    Zorv::BindingProperty body;  // the one argument, decoded
  };

  ScriptedRequestPlugin() {
    pluginHandle_ = reinterpret_cast<DulPluginHandle>(this);
    releaseCalls() = 0;
  }

  // Fills the response of each request; by default the request succeeds without a body.
  std::function<void(DulHostResponseRecord&)> answer;
  std::vector<SentRequest> requests;
  std::vector<std::string> hostCalls;  // the wait and yield calls, in order

  // Sets the release function that counts its calls.
  static void CountReleases(DulHostResponseRecord& response) { response.release = &Release; }
  static int& releaseCalls() {
    static int calls = 0;
    return calls;
  }

  void HostRequest(DulHostResponseRecord* response, const DulHostRequestRecord* request) override {
    SentRequest sent{request->method,
                     request->url,
                     request->argumentCount,
                     request->methodText != nullptr,
                     request->methodText != nullptr ? request->methodText : "",
                     request->plugin,
                     {}};
    if (request->argumentCount == 1) {
      const DulBindingValueRecord body = request->arguments[0].value;
      Zorv::BindingResult decoded;
      Zorv::ReadValueRecord(decoded, body, "body");
      sent.body = decoded.TakeValue();
    }
    requests.push_back(std::move(sent));
    if (answer)
      answer(*response);
  }
  void HostSlot1(std::uintptr_t, std::uintptr_t) override {}
  void HostPublishEvent(const DulHostEventRecord*) override {}
  void HostSubscribe(const char*, DulPluginHandle, DulEventCallback, void*,
                     std::uint32_t) override {}
  void HostUnsubscribe(const char*, DulPluginHandle) override {}
  void HostSchedule(const char*, DulScheduledCallback, void*, double, std::uint32_t) override {}
  void HostYield() override { hostCalls.push_back("yield"); }
  void HostEnterWait(const char* label, std::uint32_t zero) override {
    hostCalls.push_back("enterWait " + std::string(label) + " " + std::to_string(zero));
  }
  std::uint64_t HostLeaveWait() override {
    hostCalls.push_back("leaveWait");
    return 0;
  }

 private:
  static void DUL_CALL Release(DulHostResponseRecord* response) {
    releaseCalls()++;
    std::memset(static_cast<void*>(response), 0, sizeof(*response));
  }
};

}  // namespace dul::testing
