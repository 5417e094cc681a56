// dul-request-floor: the work a request to dul-host cannot do without, timed with RapidJSON and
// the plugin's own atomic file replace, for bench/host/request_timing.py to add to the host's
// status answer:
//   GET: a compact write of the document (its DOM parsed beforehand, untimed);
//   PUT: a DOM parse of the body, a compact write of the DOM, and one replace of a file with the
//        written bytes through platform::ReplaceFileAtomically (temporary file, fsync, rename),
//        which is what the plugin's cache writer calls.
//
// Usage: dul-request-floor REPETITIONS SCRATCH_DIRECTORY NAME GET_FILE PUT_FILE [NAME ...]
//   GET_FILE holds what a GET answered, PUT_FILE what a PUT sent; "-" for none.
// Prints one JSON object: for each NAME the median microseconds of every part, e.g.
//   {"10": {"get_us": 21.0, "put_us": 480.2, "parse_us": 40.1, "write_us": 20.3,
//           "replace_us": 419.8}}
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace {

using Clock = std::chrono::steady_clock;

double Microseconds(Clock::time_point start, Clock::time_point end) {
  return std::chrono::duration<double, std::micro>(end - start).count();
}

double Median(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  const std::size_t middle = samples.size() / 2;
  return samples.size() % 2 == 1 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
}

std::optional<std::string> Contents(const std::string& path) {
  if (path == "-")
    return std::string();
  return dul::platform::ReadWholeFile(path);
}

bool Parse(const std::string& text, rapidjson::Document& document) {
  document.Parse(text.c_str(), text.size());
  return !document.HasParseError();
}

std::size_t WrittenSize(const rapidjson::Document& document) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  document.Accept(writer);
  return buffer.GetSize();
}

// Median microseconds of the GET floor: a compact write of the parsed answer.
double TimeGet(const std::string& answer, int repetitions) {
  rapidjson::Document document;
  if (!Parse(answer, document))
    return -1;
  std::vector<double> samples;
  std::size_t written = 0;
  for (int i = 0; i < repetitions; ++i) {
    const Clock::time_point start = Clock::now();
    written += WrittenSize(document);
    samples.push_back(Microseconds(start, Clock::now()));
  }
  return written > 0 ? Median(samples) : -1;
}

struct PutParts {
  double parse = 0;
  double write = 0;
  double replace = 0;
  double total = 0;
};

// Median microseconds of the PUT floor and of each of its parts; nothing on any failure.
std::optional<PutParts> TimePut(const std::string& body, const std::string& target,
                                int repetitions) {
  std::vector<double> parse, write, replace, total;
  for (int i = 0; i < repetitions; ++i) {
    const Clock::time_point start = Clock::now();
    rapidjson::Document document;
    if (!Parse(body, document))
      return std::nullopt;
    const Clock::time_point parsed = Clock::now();
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    document.Accept(writer);
    const Clock::time_point written = Clock::now();
    if (!dul::platform::ReplaceFileAtomically(target, {buffer.GetString(), buffer.GetSize()}))
      return std::nullopt;
    const Clock::time_point replaced = Clock::now();
    parse.push_back(Microseconds(start, parsed));
    write.push_back(Microseconds(parsed, written));
    replace.push_back(Microseconds(written, replaced));
    total.push_back(Microseconds(start, replaced));
  }
  return PutParts{Median(parse), Median(write), Median(replace), Median(total)};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6 || (argc - 3) % 3 != 0) {
    std::fprintf(stderr,
                 "usage: dul-request-floor REPETITIONS SCRATCH_DIRECTORY NAME GET_FILE PUT_FILE "
                 "[NAME GET_FILE PUT_FILE ...]\n");
    return 2;
  }
  const int repetitions = std::max(1, std::atoi(argv[1]));
  const std::string target = std::string(argv[2]) + "/ItemSets.json";
  std::string json = "{";
  for (int i = 3; i < argc; i += 3) {
    const std::optional<std::string> answer = Contents(argv[i + 1]);
    const std::optional<std::string> body = Contents(argv[i + 2]);
    if (!answer || !body) {
      std::fprintf(stderr, "dul-request-floor: cannot read %s or %s\n", argv[i + 1], argv[i + 2]);
      return 1;
    }
    char entry[320];
    int length = std::snprintf(entry, sizeof entry, "%s\"%s\": {", i == 3 ? "" : ", ", argv[i]);
    json.append(entry, static_cast<std::size_t>(length));
    if (!answer->empty()) {
      const double get = TimeGet(*answer, repetitions);
      if (get < 0) {
        std::fprintf(stderr, "dul-request-floor: %s is not JSON\n", argv[i + 1]);
        return 1;
      }
      length =
          std::snprintf(entry, sizeof entry, "\"get_us\": %.3f%s", get, body->empty() ? "" : ", ");
      json.append(entry, static_cast<std::size_t>(length));
    }
    if (!body->empty()) {
      const std::optional<PutParts> put = TimePut(*body, target, repetitions);
      if (!put) {
        std::fprintf(stderr, "dul-request-floor: %s does not parse or %s cannot be replaced\n",
                     argv[i + 2], target.c_str());
        return 1;
      }
      length = std::snprintf(entry, sizeof entry,
                             "\"put_us\": %.3f, \"parse_us\": %.3f, \"write_us\": %.3f, "
                             "\"replace_us\": %.3f",
                             put->total, put->parse, put->write, put->replace);
      json.append(entry, static_cast<std::size_t>(length));
    }
    json += "}";
  }
  std::printf("%s}\n", json.c_str());
  return 0;
}
