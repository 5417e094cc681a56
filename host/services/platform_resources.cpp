#include "host/services/platform_resources.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <utility>

namespace dul::host {
namespace {

using Zorv::BindingProperty;
using Zorv::BindingPropertyKind;

constexpr std::array<std::string_view, 4> kLoginStates = {"IN_PROGRESS", "SUCCEEDED", "LOGGING_OUT",
                                                          "ERROR"};

// An id member: absent gives 0; anything but a non-negative integer fails.
bool ReadId(const BindingProperty& session, std::string_view name, std::uint64_t& id,
            std::string& error) {
  const BindingProperty& member = session.Find(name);
  if (member.IsEmpty())
    return true;
  if (member.Kind() != BindingPropertyKind::kUnsigned) {
    error = "Login session member \"" + std::string(name) + "\" must be a non-negative integer";
    return false;
  }
  id = member.GetUnsigned(0);
  return true;
}

std::optional<BindingProperty> ReadLoginSession(const BindingProperty& body, std::string& error) {
  const std::string_view state = body.Find("state").GetString();
  if (body.Kind() != BindingPropertyKind::kStructure ||
      std::find(kLoginStates.begin(), kLoginStates.end(), state) == kLoginStates.end()) {
    error =
        "A login session is an object whose \"state\" is IN_PROGRESS, SUCCEEDED, LOGGING_OUT or "
        "ERROR";
    return std::nullopt;
  }
  std::uint64_t summonerId = 0;
  std::uint64_t accountId = 0;
  if (!ReadId(body, "summonerId", summonerId, error) ||
      !ReadId(body, "accountId", accountId, error))
    return std::nullopt;
  return LoginSessionValue(std::string(state).c_str(), summonerId, accountId);
}

std::optional<BindingProperty> ReadSettings(const BindingProperty& body, std::string& error) {
  if (body.Kind() != BindingPropertyKind::kStructure) {
    error = "Settings are a JSON object";
    return std::nullopt;
  }
  return body.Clone();
}

std::optional<BindingProperty> ReadReadiness(const BindingProperty& body, std::string& error) {
  if (body.Kind() != BindingPropertyKind::kBool) {
    error = "Readiness is true or false";
    return std::nullopt;
  }
  return body.Clone();
}

}  // namespace

BindingProperty LoginSessionValue(const char* state, std::uint64_t summonerId,
                                  std::uint64_t accountId) {
  BindingProperty session;
  session.Member("accountId") = accountId;
  session.Member("state") = state;
  session.Member("summonerId") = summonerId;
  return session;
}

std::optional<std::uint64_t> SignedInAccount(const BindingProperty* session) {
  if (session == nullptr || session->Find("state").GetString() != "SUCCEEDED")
    return std::nullopt;
  const std::uint64_t account = session->Find("accountId").GetUnsigned(0);
  return account != 0 ? std::optional<std::uint64_t>(account) : std::nullopt;
}

std::shared_ptr<SingleResourcePeer> MakeLoginSessionPeer(
    std::optional<BindingProperty> session, std::shared_ptr<ResourceEventPublisher> publisher) {
  SingleResourceKind kind{kLoginSessionUri, "No login session", true, false, &ReadLoginSession};
  return std::make_shared<SingleResourcePeer>(std::move(kind), std::move(session),
                                              std::move(publisher));
}

std::shared_ptr<SingleResourcePeer> MakeItemSetsConfigPeer(
    std::shared_ptr<ResourceEventPublisher> publisher) {
  BindingProperty settings;
  settings.Member("EditorEnabled") = true;
  settings.Member("SendItemSetsToGame") = true;
  settings.Member("UploadRateLimit") = 5.0;
  SingleResourceKind kind{kItemSetsConfigUri, "No ItemSets configuration", true, true,
                          &ReadSettings};
  return std::make_shared<SingleResourcePeer>(std::move(kind), std::move(settings),
                                              std::move(publisher));
}

std::shared_ptr<SingleResourcePeer> MakePreferencesReadyPeer(
    std::shared_ptr<ResourceEventPublisher> publisher) {
  SingleResourceKind kind{kPreferencesReadyUri, "No readiness", false, true, &ReadReadiness};
  return std::make_shared<SingleResourcePeer>(std::move(kind), BindingProperty(false),
                                              std::move(publisher));
}

}  // namespace dul::host
