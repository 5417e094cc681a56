// What the generated documents hold: item-set documents as the plugin stores them (keys in byte
// order, as its writer gives them), status updates shaped like a social network's search
// result (keys in the service's own order) and a map outline of coordinate pairs.
#include <array>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "bench/codecs/document_generator.h"

namespace dul::bench {
namespace {

using Node = DocumentNode;

constexpr std::array<std::string_view, 24> kSyllables = {
    "ka",  "ri",  "to",  "mel", "zan", "or",  "vek", "lu", "sha", "en",  "dor", "mi",
    "qua", "sel", "tir", "bo",  "nya", "gri", "fen", "ul", "pra", "hex", "ost", "wyn"};
// Multi-byte text: kana, kanji, accented Latin and a few four-byte characters.
constexpr std::array<std::string_view, 20> kWideWords = {
    "こんにちは", "ありがとう", "今日", "天気", "最高",  "東京", "ゲーム",
    "楽しい",     "猫",         "写真", "café", "naïve", "Ærø",  "überall",
    "señor",      "😀",          "🎮",    "🌸",    "—",     "★"};
constexpr std::array<std::string_view, 8> kBlockTitles = {
    "Starting Items",    "Early Game",  "Core Build", "Situational",
    "Defensive Options", "Consumables", "Late Game",  "Boots"};
constexpr std::array<std::string_view, 4> kModes = {"any", "CLASSIC", "ARAM", "URF"};
constexpr std::array<std::string_view, 3> kMaps = {"any", "SR", "HA"};
constexpr std::array<std::string_view, 3> kStartedFrom = {"blank", "duplicate", "recommended"};
constexpr std::array<std::string_view, 6> kColours = {"C0DEED", "0084B4", "FFFFFF",
                                                      "333333", "DDEEF6", "F5ABB5"};

template <std::size_t N>
std::string Pick(Mixer& mixer, const std::array<std::string_view, N>& words) {
  return std::string(words[mixer.Below(N)]);
}

std::string Word(Mixer& mixer) {
  std::string word;
  const std::uint64_t syllables = 1 + mixer.Below(3);
  for (std::uint64_t i = 0; i < syllables; ++i)
    word += kSyllables[mixer.Below(kSyllables.size())];
  return word;
}

std::string Words(Mixer& mixer, std::uint64_t count) {
  std::string text;
  for (std::uint64_t i = 0; i < count; ++i) {
    if (i != 0)
      text += ' ';
    text += Word(mixer);
  }
  return text;
}

// Words, wide characters, and now and then a line break, a tab, quotes or a backslash.
std::string MixedText(Mixer& mixer, std::uint64_t count) {
  static constexpr std::array<std::string_view, 6> kPunctuation = {"\n",  "\t", " \"",
                                                                   "\" ", "\\", " http://t.co/"};
  std::string text;
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint64_t choice = mixer.Below(10);
    if (choice < 4)
      text += Pick(mixer, kWideWords);
    else if (choice < 9)
      text += Word(mixer) + " ";
    else
      text += Pick(mixer, kPunctuation);
  }
  return text;
}

std::string Hex(Mixer& mixer, int digits) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (int i = 0; i < digits; ++i)
    text += kDigits[mixer.Below(16)];
  return text;
}

Node IntegerArray(Mixer& mixer, std::uint64_t count, std::int64_t low, std::int64_t high) {
  Node array = Node::Array();
  for (std::uint64_t i = 0; i < count; ++i)
    array.Add(Node::Integer(mixer.Between(low, high)));
  return array;
}

// One item set, members in byte order of their names.
Node ItemSet(Mixer& mixer) {
  Node set = Node::Object();
  set.Add("associatedChampions", IntegerArray(mixer, mixer.Below(4), 1, 950));
  set.Add("associatedMaps", IntegerArray(mixer, mixer.Below(3), 10, 22));
  Node& blocks = set.Add("blocks", Node::Array());
  for (std::uint64_t b = 1 + mixer.Below(5); b > 0; --b) {
    Node block = Node::Object();
    block.Add("hideIfSummonerSpell", Node::String(mixer.OneIn(4) ? "SummonerSmite" : ""));
    Node& items = block.Add("items", Node::Array());
    for (std::uint64_t i = 1 + mixer.Below(7); i > 0; --i) {
      Node item = Node::Object();
      item.Add("count", Node::Unsigned(1 + mixer.Below(3)));
      item.Add("id", Node::String(std::to_string(1001 + mixer.Below(6000))));
      items.Add(std::move(item));
    }
    block.Add("showIfSummonerSpell", Node::String(mixer.OneIn(6) ? "SummonerFlash" : ""));
    block.Add("type", Node::String(Pick(mixer, kBlockTitles)));
    blocks.Add(std::move(block));
  }
  set.Add("map", Node::String(Pick(mixer, kMaps)));
  set.Add("mode", Node::String(Pick(mixer, kModes)));
  Node& slots = set.Add("preferredItemSlots", Node::Array());
  for (std::uint64_t s = mixer.Below(3); s > 0; --s) {
    Node slot = Node::Object();
    slot.Add("id", Node::String(std::to_string(1001 + mixer.Below(6000))));
    slot.Add("preferredItemSlot", Node::Integer(mixer.Between(-1, 6)));
    slots.Add(std::move(slot));
  }
  set.Add("sortrank", Node::Integer(mixer.Between(-5, 100)));
  set.Add("startedFrom", Node::String(Pick(mixer, kStartedFrom)));
  set.Add("title", Node::String(Words(mixer, 1 + mixer.Below(4))));
  set.Add("type", Node::String("custom"));
  set.Add("uid", Node::String(Hex(mixer, 8) + "-" + Hex(mixer, 4) + "-4" + Hex(mixer, 3) + "-a" +
                              Hex(mixer, 3) + "-" + Hex(mixer, 12)));
  return set;
}

std::string Date(Mixer& mixer) {
  static constexpr std::array<std::string_view, 7> kDays = {"Mon", "Tue", "Wed", "Thu",
                                                            "Fri", "Sat", "Sun"};
  char text[64];
  std::snprintf(text, sizeof text, "%s Aug %02d %02d:%02d:%02d +0000 20%02d",
                std::string(kDays[mixer.Below(7)]).c_str(), static_cast<int>(1 + mixer.Below(28)),
                static_cast<int>(mixer.Below(24)), static_cast<int>(mixer.Below(60)),
                static_cast<int>(mixer.Below(60)), static_cast<int>(8 + mixer.Below(7)));
  return text;
}

Node Indices(Mixer& mixer) {
  const std::int64_t first = mixer.Between(0, 100);
  Node indices = Node::Array();
  indices.Add(Node::Integer(first));
  indices.Add(Node::Integer(first + mixer.Between(3, 20)));
  return indices;
}

void AddId(Node& object, std::string_view name, std::uint64_t id) {
  object.Add(std::string(name), Node::Unsigned(id));
  object.Add(std::string(name) + "_str", Node::String(std::to_string(id)));
}

Node Url(Mixer& mixer) {
  Node url = Node::Object();
  const std::string code = Hex(mixer, 10);
  url.Add("url", Node::AsciiJsonString("http://t.co/" + code));
  url.Add("expanded_url", Node::AsciiJsonString("http://example.org/" + Word(mixer) + "/" + code));
  url.Add("display_url", Node::AsciiJsonString("example.org/" + Word(mixer) + "…"));
  url.Add("indices", Indices(mixer));
  return url;
}

void AddProfile(Node& user, Mixer& mixer) {
  const std::string image = "http://pbs.twimg.com/profile_images/" + Hex(mixer, 12) + "/n.jpeg";
  user.Add("profile_background_color", Node::String(Pick(mixer, kColours)));
  user.Add("profile_background_image_url",
           Node::AsciiJsonString("http://abs.twimg.com/images/themes/theme1/bg.png"));
  user.Add("profile_background_tile", Node::Bool(mixer.OneIn(5)));
  user.Add("profile_image_url", Node::AsciiJsonString(image));
  user.Add("profile_image_url_https", Node::AsciiJsonString("https" + image.substr(4)));
  if (mixer.OneIn(2))
    user.Add("profile_banner_url",
             Node::AsciiJsonString("https://pbs.twimg.com/profile_banners/" + Hex(mixer, 10)));
  user.Add("profile_link_color", Node::String(Pick(mixer, kColours)));
  user.Add("profile_sidebar_border_color", Node::String(Pick(mixer, kColours)));
  user.Add("profile_text_color", Node::String(Pick(mixer, kColours)));
  user.Add("profile_use_background_image", Node::Bool(!mixer.OneIn(4)));
  user.Add("default_profile", Node::Bool(mixer.OneIn(2)));
  user.Add("default_profile_image", Node::Bool(mixer.OneIn(9)));
  user.Add("following", Node::Bool(false));
  user.Add("follow_request_sent", Node::Bool(false));
  user.Add("notifications", Node::Bool(false));
}

Node User(Mixer& mixer) {
  Node user = Node::Object();
  AddId(user, "id", 100000000 + mixer.Below(2900000000u));
  user.Add("name", Node::AsciiJsonString(MixedText(mixer, 1 + mixer.Below(3))));
  user.Add("screen_name", Node::String(Word(mixer) + "_" + Word(mixer)));
  user.Add("location", Node::AsciiJsonString(mixer.OneIn(2) ? "" : Pick(mixer, kWideWords)));
  user.Add("description", Node::AsciiJsonString(MixedText(mixer, mixer.Below(25))));
  const bool hasUrl = mixer.OneIn(3);
  user.Add("url", hasUrl ? Node::AsciiJsonString("http://t.co/" + Hex(mixer, 10)) : Node::Null());
  Node& entities = user.Add("entities", Node::Object());
  if (hasUrl)
    entities.Add("url", Node::Object()).Add("urls", Node::Array()).Add(Url(mixer));
  entities.Add("description", Node::Object()).Add("urls", Node::Array());
  user.Add("protected", Node::Bool(mixer.OneIn(20)));
  user.Add("followers_count", Node::Unsigned(mixer.Below(100000)));
  user.Add("friends_count", Node::Unsigned(mixer.Below(5000)));
  user.Add("listed_count", Node::Unsigned(mixer.Below(300)));
  user.Add("created_at", Node::String(Date(mixer)));
  user.Add("favourites_count", Node::Unsigned(mixer.Below(20000)));
  const bool hasZone = mixer.OneIn(2);
  user.Add("utc_offset", hasZone ? Node::Integer(mixer.Between(-12, 12) * 3600) : Node::Null());
  user.Add("time_zone", hasZone ? Node::String(Word(mixer)) : Node::Null());
  user.Add("geo_enabled", Node::Bool(mixer.OneIn(3)));
  user.Add("verified", Node::Bool(mixer.OneIn(50)));
  user.Add("statuses_count", Node::Unsigned(mixer.Below(200000)));
  user.Add("lang", Node::String("ja"));
  user.Add("contributors_enabled", Node::Bool(false));
  user.Add("is_translator", Node::Bool(false));
  user.Add("is_translation_enabled", Node::Bool(false));
  AddProfile(user, mixer);
  return user;
}

Node Entities(Mixer& mixer) {
  Node entities = Node::Object();
  Node& hashtags = entities.Add("hashtags", Node::Array());
  for (std::uint64_t i = mixer.Below(3); i > 0; --i) {
    Node& tag = hashtags.Add(Node::Object());
    tag.Add("text", Node::AsciiJsonString(Pick(mixer, kWideWords)));
    tag.Add("indices", Indices(mixer));
  }
  entities.Add("symbols", Node::Array());
  Node& urls = entities.Add("urls", Node::Array());
  for (std::uint64_t i = mixer.Below(2); i > 0; --i)
    urls.Add(Url(mixer));
  Node& mentions = entities.Add("user_mentions", Node::Array());
  for (std::uint64_t i = mixer.Below(3); i > 0; --i) {
    Node& mention = mentions.Add(Node::Object());
    mention.Add("screen_name", Node::String(Word(mixer)));
    mention.Add("name", Node::AsciiJsonString(MixedText(mixer, 2)));
    AddId(mention, "id", 100000000 + mixer.Below(2900000000u));
    mention.Add("indices", Indices(mixer));
  }
  return entities;
}

Node Status(Mixer& mixer, bool mayRetweet) {
  Node status = Node::Object();
  Node& metadata = status.Add("metadata", Node::Object());
  metadata.Add("result_type", Node::String("recent"));
  metadata.Add("iso_language_code", Node::String("ja"));
  status.Add("created_at", Node::String(Date(mixer)));
  AddId(status, "id", 505874000000000000u + mixer.Below(1000000000000u));
  status.Add("text", Node::AsciiJsonString(MixedText(mixer, 3 + mixer.Below(20))));
  status.Add("source",
             Node::AsciiJsonString("<a href=\"http://twitter.com/download/" + Word(mixer) +
                                   "\" rel=\"nofollow\">" + Words(mixer, 2) + "</a>"));
  status.Add("truncated", Node::Bool(false));
  const bool reply = mixer.OneIn(5);
  const std::uint64_t replyId = 505874000000000000u + mixer.Below(1000000000000u);
  status.Add("in_reply_to_status_id", reply ? Node::Unsigned(replyId) : Node::Null());
  status.Add("in_reply_to_status_id_str",
             reply ? Node::String(std::to_string(replyId)) : Node::Null());
  status.Add("in_reply_to_user_id", reply ? Node::Unsigned(mixer.Below(1u << 31)) : Node::Null());
  status.Add("in_reply_to_user_id_str", reply ? Node::String(Hex(mixer, 9)) : Node::Null());
  status.Add("in_reply_to_screen_name", reply ? Node::String(Word(mixer)) : Node::Null());
  status.Add("user", User(mixer));
  status.Add("geo", Node::Null());
  status.Add("coordinates", Node::Null());
  status.Add("place", Node::Null());
  status.Add("contributors", Node::Null());
  if (mayRetweet && mixer.OneIn(2))
    status.Add("retweeted_status", Status(mixer, false));
  status.Add("retweet_count", Node::Unsigned(mixer.Below(5000)));
  status.Add("favorite_count", Node::Unsigned(mixer.Below(5000)));
  status.Add("entities", Entities(mixer));
  status.Add("favorited", Node::Bool(false));
  status.Add("retweeted", Node::Bool(false));
  if (mixer.OneIn(3))
    status.Add("possibly_sensitive", Node::Bool(false));
  status.Add("lang", Node::String("ja"));
  return status;
}

Node SearchMetadata(Mixer& mixer) {
  Node metadata = Node::Object();
  metadata.Add("completed_in", Node::Double(0.087));
  AddId(metadata, "max_id", 505874924095815681u);
  metadata.Add("next_results",
               Node::AsciiJsonString("?max_id=505874847260352512&q=%E4%B8%80&count=100"));
  metadata.Add("query", Node::String("%E4%B8%80"));
  metadata.Add("refresh_url", Node::AsciiJsonString("?since_id=505874924095815681&q=%E4%B8%80"));
  metadata.Add("count", Node::Unsigned(100));
  metadata.Add("since_id", Node::Unsigned(mixer.Below(1)));
  metadata.Add("since_id_str", Node::String("0"));
  return metadata;
}

// A coordinate on the six-decimal grid, never a whole number (YAML would read that as an
// integer).
double GridCoordinate(double value) {
  const double rounded = std::round(value * 1e6) / 1e6;
  return rounded == std::floor(rounded) ? rounded + 1e-6 : rounded;
}

// Adds items made by `make` to `array` until the compact JSON reaches `jsonBytes`. An item that
// would overshoot by more than a fifth is made again, so that small documents land near their
// size; after a thousand misses in a row the array is left as it is.
template <typename Make>
void FillTo(Node& array, std::size_t jsonBytes, std::size_t fixedBytes, Make make) {
  std::size_t size = fixedBytes;
  for (int tries = 0; size < jsonBytes && tries < 1000; ++tries) {
    Node item = make();
    const std::size_t itemBytes = ToCompactJson(item).size() + 1;
    if (size + itemBytes > jsonBytes + jsonBytes / 5)
      continue;
    size += itemBytes;
    array.Add(std::move(item));
    tries = 0;
  }
}

}  // namespace

GeneratedDocument GenerateItemSets(std::string name, std::size_t jsonBytes) {
  Mixer mixer(0x17E35E75u + jsonBytes);
  Node root = Node::Object();
  root.Add("accountId", Node::Unsigned(2000000000u + mixer.Below(1000000000u)));
  root.Add("itemSets", Node::Array());
  root.Add("timestamp", Node::Unsigned(1600000000000u + mixer.Below(100000000000u)));
  const std::size_t fixedBytes = ToCompactJson(root).size();
  FillTo(root.members[1].second, jsonBytes, fixedBytes, [&] { return ItemSet(mixer); });
  return Encode(std::move(name), root);
}

GeneratedDocument GenerateTwitterLike() {
  Mixer mixer(0x7417732u);
  Node root = Node::Object();
  root.Add("statuses", Node::Array());
  root.Add("search_metadata", SearchMetadata(mixer));
  const std::size_t fixedBytes = ToCompactJson(root).size();
  FillTo(root.members[0].second, 630 * 1000, fixedBytes, [&] { return Status(mixer, true); });
  return Encode("twitter", root);
}

GeneratedDocument GenerateCanadaLike() {
  Mixer mixer(0xCA7ADAu);
  Node root = Node::Object();
  root.Add("type", Node::String("FeatureCollection"));
  Node& feature = root.Add("features", Node::Array()).Add(Node::Object());
  feature.Add("type", Node::String("Feature"));
  feature.Add("properties", Node::Object()).Add("name", Node::String("Canada"));
  Node& geometry = feature.Add("geometry", Node::Object());
  geometry.Add("type", Node::String("Polygon"));
  Node& rings = geometry.Add("coordinates", Node::Array());
  const std::size_t fixedBytes = ToCompactJson(root).size();
  // Coordinates on a six-decimal grid printed with 17 digits, as surveying exports often are.
  FillTo(rings, 2000 * 1000, fixedBytes, [&] {
    Node ring = Node::Array();
    double longitude = -140 + 85 * mixer.Fraction();
    double latitude = 42 + 40 * mixer.Fraction();
    for (std::uint64_t i = 10 + mixer.Below(400); i > 0; --i) {
      longitude += (mixer.Fraction() - 0.5) * 0.02;
      latitude += (mixer.Fraction() - 0.5) * 0.02;
      Node& pair = ring.Add(Node::Array());
      pair.Add(Node::Double(GridCoordinate(longitude), 17));
      pair.Add(Node::Double(GridCoordinate(latitude), 17));
    }
    return ring;
  });
  return Encode("canada", root);
}

}  // namespace dul::bench
