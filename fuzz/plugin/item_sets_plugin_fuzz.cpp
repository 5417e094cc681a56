// Drives the whole item-set plugin as a host does: the plugin object built by the load glue,
// started by the in-process host on a virtual clock, beside simulated login, configuration,
// player-preferences, game-data and telemetry services, inside an installed game tree (in memory
// where the system has a memory-backed directory) that is emptied before each input. The input is
// a first byte, then steps until it runs out (at most kStepLimit); a step is an opcode byte
// (modulo 9) and its argument bytes, and every byte past the end reads as 0:
//   first byte   the cache file an earlier run left (% 6: none, empty, account 1001's, 1002's,
//                no account's, garbage); bit 3 adds an item-set file of an earlier export
//   0 request    method (% 11), target (% 4: the session's summoner, another, "abc", "007"; bit 2
//                the answer as JSON), body (low nibble % 7: none, document, set, mangled
//                document, mangled set, raw bytes, empty; high nibble % 5 the content type), then
//                the body's bytes
//   1 login      % 3 the account (1001, 1002, 1003), >> 2 % 6 the session's shape, bit 7 Create
//   2 logout     the session is deleted
//   3 settings   % 8 == 7 deletes them, else two bits per flag; the next byte the interval
//   4 readiness  % 6: Update true or false, Create true or false, Delete, a value of another kind
//   5 answer     queued for the player-preferences service's next answer (% 12 its kind)
//   6 tick       the clock moves byte / 8 seconds ahead (0: only what is due runs)
//   7 failure    during the next step the Nth (second byte % 8 + 1) system call of one kind
//                (first byte % 13) fails
//   8 restart    the plugin is destroyed and a new one started over the same files and services
// After every step: nothing crashed, leaked, started a thread or escaped a host entry as an
// exception; every response the host handed the plugin was released and every wait left; the
// session the plugin holds is the last one it was sent; the cache file is empty or one whole
// document, no temporary file beside it; nothing was written outside the configuration
// directories; every callback is due at a finite time. Every answer has a status, and an error
// text exactly when it failed; a failed request changed and announced nothing; a successful GET
// never shows another account's sets. An accepted PUT or POST is announced under the session's
// account, stored so (unless a system call failed) and shown by every GET until a step that may
// replace it. A store never carries another account's sets; a restart with no failure on the way
// shows the same document; after a tick every exported item-set file is whole JSON.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "binding/binding_property.h"
#include "codecs/json_reader.h"
#include "codecs/json_writer.h"
#include "contract/event_names.h"
#include "host/core/host_runtime.h"
#include "host/core/peer.h"
#include "platform/file_system.h"
#include "platform/system_call_failure.h"
#include "plugin/game_export.h"
#include "plugin/install_locator.h"
#include "plugin/item_sets_plugin.h"
#include "plugin/local_item_sets_cache.h"
#include "tests/support/hosted_plugin.h"
#include "tests/support/temporary_tree.h"

namespace {

namespace fs = std::filesystem;
using dul::host::PeerAnswer;
using dul::host::PeerRequest;
using dul::host::ScriptedPeer;
using dul::item_sets::ItemSetsPlugin;
using Zorv::BindingProperty;

constexpr std::size_t kStepLimit = 48;
constexpr std::uint64_t kAccounts[] = {1001, 1002, 1003};
constexpr std::uint64_t kOtherSummoner = 77;
constexpr const char* kLoginUri = "/dul-login/v1/session";
constexpr const char* kConfigUri = "/dul-platform-config/v1/namespaces/ItemSets";
constexpr const char* kReadyUri = "/dul-player-preferences/v1/player-preferences-ready";
constexpr const char* kCacheName = "ItemSets.json";
constexpr std::string_view kTemporaryPrefix = "ItemSets.json.tmp";

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "item_sets_plugin_fuzz: %s\n", what);
  std::abort();
}

void Require(bool holds, const char* what) {
  if (!holds)
    Fail(what);
}

// The input, read front to back; past its end every byte reads as 0.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool done() const { return offset_ >= size_; }
  std::uint8_t Byte() { return offset_ < size_ ? data_[offset_++] : 0; }
  template <class T, std::size_t N>
  const T& Pick(const T (&options)[N]) {
    return options[Byte() % N];
  }
  // A length byte, then up to that many bytes.
  std::string Bytes() {
    const std::size_t length = std::min<std::size_t>(Byte(), size_ - std::min(offset_, size_));
    std::string bytes(reinterpret_cast<const char*>(data_ + offset_), length);
    offset_ += length;
    return bytes;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t offset_ = 0;
};

// Item-set documents and sets as JSON, each optional member there or not as the input says;
// the values include ones that do not convert (a count beyond 16 bits, a number as a title).
std::string IntList(Input& in, std::initializer_list<const char*> values) {
  std::string list = "[";
  for (int count = in.Byte() % 4; count > 0; --count) {
    list += list.size() > 1 ? "," : "";
    list += values.begin()[in.Byte() % values.size()];
  }
  return list + "]";
}

void AddMember(std::string& object, std::string_view name, const std::string& value) {
  object += object.size() > 1 ? ",\"" : "\"";
  object += name;
  object += "\":";
  object += value;
}

std::string SetJson(Input& in) {
  static constexpr const char* kUids[] = {nullptr, "\"\"", "\"a\"", "\"b\""};
  static constexpr const char* kTitles[] = {"\"T\"", "\"\"", "\"\\u00e9\\u0000t\"", "5"};
  static constexpr const char* kCounts[] = {"2", "65535", "70000", "-1"};
  static constexpr const char* kSlots[] = {"-5", "3", "40000"};
  const std::uint8_t shape = in.Byte();
  std::string set = "{";
  if (kUids[shape & 3] != nullptr)
    AddMember(set, "uid", kUids[shape & 3]);
  if (shape & 4)
    AddMember(set, "title", in.Pick(kTitles));
  if (shape & 8)
    AddMember(set, "mode", "\"aram\"");
  if (shape & 16)
    AddMember(set, "associatedChampions", IntList(in, {"1", "2", "3", "4", "5", "-7"}));
  if (shape & 32)
    AddMember(set, "associatedMaps", IntList(in, {"1", "11", "12", "8", "10", "14"}));
  if (shape & 64)
    AddMember(set, "blocks",
              std::string(R"([{"type":"Starters","items":[{"id":"1001","count":)") +
                  in.Pick(kCounts) + "}]}]");
  if (shape & 128)
    AddMember(set, "preferredItemSlots",
              std::string(R"([{"id":"3020","preferredItemSlot":)") + in.Pick(kSlots) + "}]");
  return set + "}";
}

std::string DocumentJson(Input& in) {
  static constexpr const char* kAccountIds[] = {nullptr, "0", "1001", "1002", "1003"};
  static constexpr const char* kTimestamps[] = {nullptr, "0", "100", "18446744073709551615"};
  const std::uint8_t shape = in.Byte();
  std::string document = "{";
  if (const char* account = kAccountIds[(shape & 7) % 5])
    AddMember(document, "accountId", account);
  if (const char* timestamp = kTimestamps[(shape >> 3) & 3])
    AddMember(document, "timestamp", timestamp);
  const int sets = (shape >> 5) & 3;
  if (sets != 0 || (shape & 128) == 0) {
    std::string list = "[";
    for (int i = 0; i < sets; ++i)
      list += (i != 0 ? "," : "") + SetJson(in);
    AddMember(document, "itemSets", list + "]");
  }
  return document + "}";
}

// The text cut short, with one byte replaced, or with one byte more.
std::string Mangled(std::string text, Input& in) {
  const std::uint8_t how = in.Byte();
  const std::size_t at = text.size() * in.Byte() / 256;
  switch (how % 3) {
    case 0:
      text.resize(at);
      break;
    case 1:
      text[at] = static_cast<char>(in.Byte());
      break;
    default:
      text.insert(text.begin() + static_cast<std::ptrdiff_t>(at), static_cast<char>(in.Byte()));
      break;
  }
  return text;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// Makes a directory current for its lifetime.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const fs::path& directory) : previous_(fs::current_path()) {
    fs::current_path(directory);
  }
  ~CurrentDirectory() {
    std::error_code ignored;
    fs::current_path(previous_, ignored);
  }
  CurrentDirectory(const CurrentDirectory&) = delete;
  CurrentDirectory& operator=(const CurrentDirectory&) = delete;

 private:
  fs::path previous_;
};

// The threads of this process, where the system lists them (0 elsewhere).
std::size_t ThreadCount() {
  std::error_code error;
  fs::directory_iterator tasks("/proc/self/task", error);
  return error ? 0 : static_cast<std::size_t>(std::distance(tasks, fs::directory_iterator()));
}

fs::path MemoryBackedOrTemporary() {
  std::error_code error;
  return fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
}

// An installed game: "Play/Client" (current while an input runs) beside "Play/Game", whose
// "Config" the plugin writes into. The plugin keeps one installation record per process, so the
// tree is built once and emptied before each input. Should the configuration directory ever be
// unusable, the plugin falls back to "DATA/CFG/" below the current directory: "Play/Client".
class GameTree {
 public:
  GameTree() : tree_(MemoryBackedOrTemporary()) {
    tree_.MakeFile("Play/PlayLauncher.exe");
    tree_.MakeDirectory("Play/Game/Config");
    tree_.MakeDirectory("Play/Client");
    const CurrentDirectory inside(client());
    dul::item_sets::DetectInstallLayout();
    Require(dul::item_sets::GetGameConfigDirectory() == config().generic_string() + "/",
            "the tree is not taken for an installed game");
  }

  fs::path client() const { return tree_.Root() / "Play/Client"; }
  fs::path config() const { return tree_.Root() / "Play/Game/Config"; }
  fs::path fallback() const { return client() / "DATA/CFG"; }
  // What the first byte seeded the cache file with when that is no document: the file may
  // hold it until the plugin replaces it.
  const std::string& seededGarbage() const { return seededGarbage_; }

  void Reset(std::uint8_t first) {
    fs::remove_all(config());
    fs::remove_all(client() / "DATA");
    fs::create_directory(config());
    seededGarbage_.clear();
    static constexpr const char* kSeeds[] = {
        nullptr,
        "",
        R"({"accountId":1001,"itemSets":[{"uid":"x","title":"X"}],"timestamp":100})",
        R"({"accountId":1002,"itemSets":[{"uid":"y","associatedChampions":[1]}],"timestamp":7})",
        R"({"accountId":0,"itemSets":[{"uid":"z"}],"timestamp":0})",
        R"({"accountId":1001,"itemSe)",
    };
    if (const char* seed = kSeeds[first % 6]) {
      std::ofstream(config() / kCacheName, std::ios::binary) << seed;
      if (first % 6 == 5)
        seededGarbage_ = seed;
    }
    if (first & 8) {
      fs::create_directories(config() / "Global/Recommended");
      std::ofstream(config() / "Global/Recommended/ZORV_ItemSet_9.json") << "{}";
    }
  }

  // Nothing appeared beside the game's files but the two configuration directories.
  void CheckNothingOutside() const {
    OnlyThese(tree_.Root(), {"Play"});
    OnlyThese(tree_.Root() / "Play", {"PlayLauncher.exe", "Game", "Client"});
    OnlyThese(tree_.Root() / "Play/Game", {"Config"});
    OnlyThese(client(), {"DATA"});
  }

 private:
  static void OnlyThese(const fs::path& directory, std::initializer_list<std::string_view> names) {
    for (const fs::directory_entry& entry : fs::directory_iterator(directory)) {
      const std::string name = entry.path().filename().string();
      Require(std::find(names.begin(), names.end(), name) != names.end(),
              "something was written outside the configuration directory");
    }
  }

  dul::testing::TemporaryTree tree_;
  std::string seededGarbage_;
};

// The services beside the plugin; they outlive a restart of it. Each resource the plugin follows
// answers a read with the data it was last sent as (none after a Delete).
struct Services {
  std::optional<std::string> login;
  std::optional<std::string> settings;
  std::optional<std::string> readiness;
  std::deque<PeerAnswer> preferenceAnswers;  // then 404 for a fetch, a version for a store
  // The session the plugin must hold: that of the last login it could read.
  std::uint64_t accountId = 0;
  std::uint64_t summonerId = 0;

  // A change of another account never reaches this account's store.
  void CheckStored(const PeerRequest& request) const {
    Zorv::BindingResult body = Zorv::ParseJson(request.body);
    Require(body.ok(), "a store sent a body that is not JSON");
    Zorv::BindingResult data = Zorv::ParseJson(body.value().Find("data").GetString());
    Require(data.ok(), "a store sent data that is not JSON");
    const std::uint64_t stored = data.value().Find("accountId").GetUnsigned(0);
    Require(stored == 0 || stored == accountId, "another account's sets were stored");
  }

  static PeerAnswer Resource(const std::optional<std::string>& data) {
    return data ? PeerAnswer::Json(*data) : PeerAnswer::Error(404, "Not Found");
  }

  std::shared_ptr<ScriptedPeer> resources =
      std::make_shared<ScriptedPeer>([this](const PeerRequest& request) {
        return Resource(request.path == kLoginUri ? login : settings);
      });
  std::shared_ptr<ScriptedPeer> preferences =
      std::make_shared<ScriptedPeer>([this](const PeerRequest& request) {
        if (request.path == kReadyUri)
          return Resource(readiness);
        if (request.methodName == "PUT")
          CheckStored(request);
        if (!preferenceAnswers.empty()) {
          PeerAnswer answer = std::move(preferenceAnswers.front());
          preferenceAnswers.pop_front();
          return answer;
        }
        return request.methodName == "PUT" ? PeerAnswer::Json(R"({"modified":150})")
                                           : PeerAnswer::Error(404, "Not Found");
      });
  // Champions 1 and 2 have aliases (1 streamed in small chunks), 3 and 4 aliases no directory
  // may take, 5 a stream that breaks off; any other is unknown.
  std::shared_ptr<ScriptedPeer> gameData =
      std::make_shared<ScriptedPeer>([](const PeerRequest& request) {
        const std::string prefix = "/dul-game-data/assets/v1/champions/";
        if (request.path == prefix + "1.json")
          return PeerAnswer::StreamedJson(R"({"id":1,"alias":"Vexa","name":"N"})", 4);
        if (request.path == prefix + "2.json")
          return PeerAnswer::Json(R"({"id":2,"alias":"Korr"})");
        if (request.path == prefix + "3.json")
          return PeerAnswer::Json(R"({"alias":".."})");
        if (request.path == prefix + "4.json")
          return PeerAnswer::Json(R"({"alias":"../../.."})");
        if (request.path == prefix + "5.json")
          return PeerAnswer::StreamedJson(R"({"id":5,"alias":"Brok"})", 3, 2);
        return PeerAnswer::Error(404, "Not Found");
      });
  std::shared_ptr<ScriptedPeer> telemetry =
      std::make_shared<ScriptedPeer>([](const PeerRequest&) { return PeerAnswer(); });
};

// One life of the plugin: loaded, started with the services, and what it published since
// the last request.
class Session {
 public:
  explicit Session(Services& services) : hosted(false) {
    hosted.host.AddPeer("/dul-login/", services.resources);
    hosted.host.AddPeer("/dul-platform-config/", services.resources);
    hosted.host.AddPeer("/dul-player-preferences/", services.preferences);
    hosted.host.AddPeer("/dul-game-data/", services.gameData);
    hosted.host.AddPeer("/telemetry/", services.telemetry);
    hosted.host.AddObserver([this](const dul::host::PublishedEvent& event) {
      if (event.fromPlugin)
        published.push_back(event.payload.Clone());
    });
    Require(hosted.Start(), "the plugin did not start");
  }

  ItemSetsPlugin& plugin() { return *hosted.plugin; }

  dul::testing::HostedPlugin<ItemSetsPlugin> hosted;
  std::vector<BindingProperty> published;
  std::uint64_t logLinesChecked = 0;
};

// One input's run.
class Run {
 public:
  Run(GameTree& game, Input& in) : game_(game), in_(in) { session_.emplace(services_); }
  ~Run() {
    failure_.reset();
    session_.reset();
  }
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  void Step() {
    const std::uint8_t op = in_.Byte() % 9;
    if (op == 7) {
      static constexpr std::uint32_t kErrors[] = {dul::platform::kErrorAccessDenied,
                                                  dul::platform::kErrorDiskFull};
      const std::uint8_t kind = in_.Byte();
      const std::uint8_t nth = in_.Byte();
      failure_.emplace(
          dul::platform::kAllSystemCalls[kind % std::size(dul::platform::kAllSystemCalls)],
          nth % 8 + 1, kErrors[(nth >> 3) & 1]);
      failed_ = true;
      return;  // armed for the next step
    }
    // Only a request, new settings or a queued answer leave the last change to be shown as it is.
    if (op != 0 && op != 3 && op != 5)
      lastChange_.reset();
    switch (op) {
      case 0:
        Request();
        break;
      case 1:
        Login();
        break;
      case 2:
        Send(kLoginUri, "Delete", "null");
        services_.login.reset();
        services_.accountId = services_.summonerId = 0;
        break;
      case 3:
        Settings();
        break;
      case 4:
        Readiness();
        break;
      case 5:
        services_.preferenceAnswers.push_back(PreferenceAnswer());
        break;
      case 6:
        Tick();
        break;
      default:
        Restart();
        break;
    }
    failure_.reset();
    CheckAfterStep();
  }

 private:
  Session& session() { return *session_; }

  // The document a GET shows, as compact JSON.
  std::string Shown() {
    PeerRequest request;
    request.method = 2;
    request.methodName = "GET";
    request.path = "/dul-item-sets/v1/item-sets/" + std::to_string(kOtherSummoner) + "/sets";
    const PeerAnswer answer = session().hosted.host.CallPlugin(request);
    Require(answer.status == 200 && answer.body.has_value(), "a GET failed");
    return Zorv::WriteJson(*answer.body, nullptr, nullptr);
  }

  // Unless a system call failed on the way, the cache file holds what memory holds, so a new
  // plugin shows the same document.
  void Restart() {
    const std::optional<std::string> before =
        failed_ ? std::nullopt : std::optional<std::string>(Shown());
    session_.reset();
    session_.emplace(services_);
    Require(!before || Shown() == *before, "the document did not survive a restart");
  }

  void Send(const char* uri, const char* eventType, const std::string& dataJson) {
    BindingProperty payload;
    payload.Member("uri") = uri;
    payload.Member("eventType") = eventType;
    payload.Member("data") = Zorv::ParseJson(dataJson).TakeValue();
    session().hosted.host.PublishEvent(dul::EventNameForUri(uri), payload);
  }

  void Login() {
    const std::uint8_t how = in_.Byte();
    const std::size_t index = how % 3;
    const std::uint64_t account = kAccounts[index];
    const std::string ids = R"("summonerId":)" + std::to_string(41 + index) + R"(,"accountId":)" +
                            std::to_string(account);
    struct Shape {
      std::string data;
      bool readable;
    };
    const Shape shapes[] = {
        {R"({"state":"SUCCEEDED",)" + ids + "}", true},
        {R"({"state":1,)" + ids + "}", true},
        {R"({"state":"LOGGING_OUT",)" + ids + "}", true},
        {R"({"state":"IN_PROGRESS","summonerId":0,"accountId":0})", true},
        {R"({"state":7,)" + ids + "}", false},
        {R"("SUCCEEDED")", false},
    };
    const Shape& shape = shapes[(how >> 2) % 6];
    Send(kLoginUri, (how & 128) ? "Create" : "Update", shape.data);
    if (shape.readable) {
      services_.login = shape.data;
      const bool signedOut = (how >> 2) % 6 == 3;
      services_.accountId = signedOut ? 0 : account;
      services_.summonerId = signedOut ? 0 : 41 + index;
    }
  }

  void Settings() {
    static constexpr const char* kFlags[] = {nullptr, "true", "false", "\"yes\""};
    static constexpr const char* kIntervals[] = {nullptr, "7.5", "5.0",   "1e300", "10",
                                                 "-3.5",  "0.5", "\"x\"", "30.0"};
    const std::uint8_t how = in_.Byte();
    const char* interval = in_.Pick(kIntervals);
    if (how % 8 == 7) {
      Send(kConfigUri, "Delete", "null");
      services_.settings.reset();
      return;
    }
    std::string data = "{";
    if (const char* flag = kFlags[how & 3])
      AddMember(data, "EditorEnabled", flag);
    if (const char* flag = kFlags[(how >> 2) & 3])
      AddMember(data, "SendItemSetsToGame", flag);
    if (interval != nullptr)
      AddMember(data, "UploadRateLimit", interval);
    data += "}";
    Send(kConfigUri, (how & 128) ? "Create" : "Update", data);
    services_.settings = data;
  }

  void Readiness() {
    struct Shape {
      const char* eventType;
      const char* data;
    };
    static constexpr Shape kShapes[] = {{"Update", "true"}, {"Update", "false"},
                                        {"Create", "true"}, {"Create", "false"},
                                        {"Delete", "null"}, {"Update", "\"x\""}};
    const Shape& shape = in_.Pick(kShapes);
    Send(kReadyUri, shape.eventType, shape.data);
    if (std::string_view(shape.eventType) == "Delete")
      services_.readiness.reset();
    else
      services_.readiness = shape.data;
  }

  // The service's copy at version `modified`, as a fetch answers it.
  static PeerAnswer Fetched(std::uint64_t modified, const std::string& data) {
    BindingProperty answer;
    answer.Member("data") = data;
    answer.Member("modified") = modified;
    answer.Member("type") = "ItemSets";
    return PeerAnswer::Value(std::move(answer));
  }

  PeerAnswer PreferenceAnswer() {
    static constexpr std::uint64_t kVersions[] = {0, 50, 100, 120, 150, UINT64_MAX};
    const std::uint8_t kind = in_.Byte() % 12;
    switch (kind) {
      case 0:
        return Fetched(in_.Pick(kVersions), DocumentJson(in_));
      case 1:
        return Fetched(in_.Pick(kVersions), in_.Bytes());
      case 2:
        return Fetched(in_.Pick(kVersions), Mangled(DocumentJson(in_), in_));
      case 3:
        return PeerAnswer::Error(304, "Not Modified");
      case 4:
        return PeerAnswer::Error(404, "Not Found");
      case 5:
        return PeerAnswer::Error(500, "Internal Server Error");
      case 6:
        return PeerAnswer::Json(R"({"modified":)" + std::to_string(in_.Pick(kVersions)) + "}");
      case 7:
        return PeerAnswer::Json(R"({"modified":"12","data":5})");
      case 8: {
        PeerAnswer garbled;
        garbled.garbledKind = in_.Byte();
        return garbled;
      }
      case 9: {
        // A fetch's answer streamed as JSON text, in small chunks, perhaps breaking off.
        const std::uint64_t modified = in_.Pick(kVersions);
        BindingProperty data;
        data = DocumentJson(in_);
        const std::string json = R"({"modified":)" + std::to_string(modified) + R"(,"data":)" +
                                 Zorv::WriteJson(data, nullptr, nullptr) + "}";
        const std::uint8_t chunks = in_.Byte();
        return PeerAnswer::StreamedJson(
            json, chunks % 16 + 1,
            chunks & 128 ? std::optional<std::size_t>(chunks % 4) : std::nullopt);
      }
      case 10: {
        PeerAnswer overstated = PeerAnswer::StreamedJson(R"({"modified":3})", 4);
        overstated.stream->back().overstatedBy = 1u << 20;
        return overstated;
      }
      default:
        return PeerAnswer::Value(Zorv::ParseJson(Mangled(DocumentJson(in_), in_)).TakeValue(),
                                 in_.Byte() % 2 ? 200 : 201);
    }
  }

  void Tick() {
    const std::uint8_t eighths = in_.Byte();
    if (eighths == 0)
      session().hosted.host.RunDue();
    else
      session().hosted.host.AdvanceBy(eighths / 8.0);
    CheckExportedFiles(game_.config());
    CheckExportedFiles(game_.fallback());
  }

  void Request() {
    struct Method {
      std::uint32_t code;
      const char* name;
    };
    static constexpr Method kMethods[] = {{2, "GET"},     {7, "PUT"},    {6, "POST"},  {2, "GET"},
                                          {7, "PUT"},     {1, "DELETE"}, {5, "PATCH"}, {3, "HEAD"},
                                          {4, "OPTIONS"}, {8, "FROB"},   {0, ""}};
    static constexpr const char* kContentTypes[] = {"application/json", "application/json",
                                                    "application/x-yaml", "application/x-msgpack",
                                                    "text/plain"};
    const Method& method = in_.Pick(kMethods);
    const std::uint8_t target = in_.Byte();
    const std::uint8_t body = in_.Byte();
    // The summoner id as the path spells it, and as the plugin reads it: a leading "0" is octal.
    static constexpr std::uint64_t kNoNumber = UINT64_MAX;
    std::string summoner;
    std::uint64_t summonerId = kNoNumber;
    switch (target % 4) {
      case 0:
        summonerId = services_.summonerId != 0 ? services_.summonerId : 42;
        summoner = std::to_string(summonerId);
        break;
      case 1:
        summonerId = kOtherSummoner;
        summoner = std::to_string(summonerId);
        break;
      case 2:
        summoner = "abc";
        break;
      default:
        summonerId = 7;
        summoner = "007";
        break;
    }
    PeerRequest request;
    request.method = method.code;
    request.methodName = method.name;
    request.path = "/dul-item-sets/v1/item-sets/" + summoner + "/sets";
    request.answerAsJson = (target & 4) != 0;
    const int bodyKind = (body & 15) % 7;
    switch (bodyKind) {
      case 0:
        break;
      case 1:
        request.body = DocumentJson(in_);
        break;
      case 2:
        request.body = SetJson(in_);
        break;
      case 3:
        request.body = Mangled(DocumentJson(in_), in_);
        break;
      case 4:
        request.body = Mangled(SetJson(in_), in_);
        break;
      case 5:
        request.body = in_.Bytes();
        break;
      default:
        break;
    }
    if (bodyKind != 0)
      request.contentType = kContentTypes[(body >> 4) % 5];

    const fs::path cache = game_.config() / kCacheName;
    const bool cachedBefore = fs::exists(cache);
    const std::string before = ReadFile(cache);
    session().published.clear();
    const PeerAnswer answer = session().hosted.host.CallPlugin(request);

    Require(answer.status >= 100 && answer.status <= 599, "an answer without a status");
    const bool failed = answer.status >= 400;
    Require(failed == answer.errorText.has_value(), "an error text without a failure, or none");
    if (failed) {
      Require(session().published.empty(), "a failed request announced a change");
      Require(fs::exists(cache) == cachedBefore && ReadFile(cache) == before,
              "a failed request changed the cache file");
      return;
    }
    const std::uint64_t account = services_.accountId;
    if (method.code == 2) {
      std::optional<BindingProperty> shown;
      if (answer.bodyJson) {
        Zorv::BindingResult parsed = Zorv::ParseJson(*answer.bodyJson);
        Require(parsed.ok(), "a GET answered JSON that does not parse");
        shown = parsed.TakeValue();
      } else {
        Require(answer.body.has_value(), "a GET answered without the document");
        shown = answer.body->Clone();
      }
      const std::uint64_t shownAccount = shown->Find("accountId").GetUnsigned(0);
      Require(account == 0 || shownAccount == 0 || shownAccount == account,
              "a GET showed the sets of another account");
      Require(!lastChange_ || Zorv::WriteJson(*shown, nullptr, nullptr) == *lastChange_,
              "a GET no longer showed the last accepted change");
      return;
    }
    if (method.code != 6 && method.code != 7)
      return;
    Require(session().published.size() == 2, "an accepted change was not announced twice");
    for (const BindingProperty& event : session().published) {
      Require(summonerId != kNoNumber &&
                  event.Find("uri").GetString() ==
                      "/dul-item-sets/v1/item-sets/" + std::to_string(summonerId) + "/sets",
              "a change was announced on another path than the request's");
      Require(event.Find("data").Find("accountId").GetUnsigned(0) == account,
              "a change was announced under another account");
    }
    // The change stands even where the cache file could not take it.
    const bool failing = failure_.has_value();
    failure_.reset();
    lastChange_ = Zorv::WriteJson(session().published[0].Find("data"), nullptr, nullptr);
    Require(Shown() == *lastChange_, "a GET right after an accepted change did not show it");
    if (failing)
      return;  // the file may keep its old content
    const std::optional<Zorv::Client::ItemSets::Api::ItemSets> stored =
        dul::item_sets::ItemSetsFromJson(ReadFile(cache), session().plugin().typeRegistry());
    Require(stored && stored->accountId == account,
            "an accepted change was not stored under the session's account");
  }

  // Every item-set file an export left below `directory` is whole JSON.
  void CheckExportedFiles(const fs::path& directory) {
    std::error_code error;
    for (fs::recursive_directory_iterator entry(directory, error), end; !error && entry != end;
         entry.increment(error)) {
      if (!entry->is_regular_file() ||
          !entry->path().filename().string().starts_with(dul::item_sets::kItemSetFilePrefix))
        continue;
      Require(Zorv::ParseJson(ReadFile(entry->path())).ok(), "an exported file is not whole");
    }
  }

  // The cache file in `directory` is absent, empty, the seeded garbage no write replaced yet, or
  // one whole document; no temporary file of a replacement stays beside it.
  void CheckCacheIn(const fs::path& directory) {
    std::error_code error;
    for (fs::directory_iterator entry(directory, error), end; !error && entry != end;
         entry.increment(error)) {
      Require(!entry->path().filename().string().starts_with(kTemporaryPrefix),
              "a temporary file stayed beside the cache file");
    }
    const fs::path cache = directory / kCacheName;
    if (!fs::exists(cache))
      return;
    const std::string text = ReadFile(cache);
    if (text.empty() || text == game_.seededGarbage())
      return;
    Require(dul::item_sets::ItemSetsFromJson(text, session().plugin().typeRegistry()).has_value(),
            "the cache file is not one whole document");
  }

  void CheckAfterStep() {
    Session& current = session();
    const dul::host::HostRuntime& host = current.hosted.host;
    Require(ThreadCount() == threads_, "the plugin started a thread");
    Require(host.responses().live() == 0, "a response was not released");
    Require(host.calls().enterWaits == host.calls().leaveWaits, "a wait was entered, never left");
    const auto& log = host.logHistory();
    const std::uint64_t first = std::max(current.logLinesChecked, log.dropped());
    for (std::uint64_t i = first; i < log.added(); ++i) {
      Require(log.entries()[i - log.dropped()].message.find("Exception in") == std::string::npos,
              "an exception reached a host entry");
    }
    current.logLinesChecked = log.added();
    Require(current.plugin().loginSession().accountId == services_.accountId,
            "the plugin holds another session than the last one it was sent");
    for (const dul::host::ScheduledCallback& callback : host.PendingCallbacks())
      Require(std::isfinite(callback.dueSeconds), "a callback is due at no finite time");
    CheckCacheIn(game_.config());
    CheckCacheIn(game_.fallback());
    game_.CheckNothingOutside();
  }

  GameTree& game_;
  Input& in_;
  Services services_;
  std::optional<Session> session_;
  std::optional<dul::platform::SystemCallFailure> failure_;
  bool failed_ = false;  // a failure was armed for some step
  // The document the last accepted change announced, while no step since could replace it.
  std::optional<std::string> lastChange_;
  const std::size_t threads_ = ThreadCount();
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static GameTree game;
  const CurrentDirectory inside(game.client());
  Input in(data, size);
  game.Reset(in.Byte());
  Run run(game, in);
  for (std::size_t step = 0; step < kStepLimit && !in.done(); ++step)
    run.Step();
  return 0;
}
