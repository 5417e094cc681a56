#include "host/app/api_description.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "codecs/json_writer.h"
#include "contract/request_method.h"

namespace dul::host {
namespace {

constexpr const char* kDocument =
    R"({"info": {"title": "t", "version": "?"}, "servers": [{"url": "x"}],
        "paths": {"/svc": {"get": {"summary": "service"}}}})";
constexpr const char* kOperations =
    R"({"known": {"/sets/{id}": {"put": {"summary": "known"}}},
        "other": {"summary": "other"}, "otherRequestBody": {"required": false}})";

Zorv::BindingProperty Describe(const RouteTable& endpoints) {
  Zorv::BindingResult described =
      DescribeApi({kDocument, kOperations}, endpoints, "http://127.0.0.1:7", "1.2.3");
  EXPECT_TRUE(described.ok()) << described.ErrorText();
  return described.TakeValue();
}

// Catches an endpoint left out or put under the wrong path or method, a known operation not
// attached by template and method, a generic one without its path parameters or with a body on a
// method that carries none, and a service's operation kept where the plugin answers first.
TEST(ApiDescriptionTest, DescribesEachEndpointUnderItsPathAndMethods) {
  RouteTable endpoints;
  endpoints.Add(MethodCode(RequestMethod::kPut), "", "/sets/{id}");
  endpoints.Add(MethodCode(RequestMethod::kGet), "", "/sets/{id}");
  endpoints.Add(MethodCode(RequestMethod::kPost), "", "/files/{+rest}");
  endpoints.Add(MethodCode(RequestMethod::kAny), "", "/svc");
  endpoints.Add(MethodCode(RequestMethod::kOther), "PURGE", "/purge");
  const Zorv::BindingProperty paths = Describe(endpoints).Find("paths").Clone();
  const struct {
    const char* path;
    const char* method;
    const char* summary;    // empty: not described
    const char* parameter;  // the path parameter added; empty for none
    bool body;
  } cases[] = {
      {"/sets/{id}", "put", "known", "", false},
      {"/sets/{id}", "get", "other", "id", false},
      {"/files/{rest}", "post", "other", "rest", true},
      {"/files/{+rest}", "post", "", "", false},
      {"/svc", "get", "other", "", false},
      {"/svc", "patch", "other", "", true},
      {"/svc", "options", "other", "", false},
      {"/svc", "head", "", "", false},
      {"/purge", "purge", "", "", false},
  };
  for (const auto& c : cases) {
    const Zorv::BindingProperty& operation = paths.Find(c.path).Find(c.method);
    const std::string where = std::string(c.method) + " " + c.path;
    EXPECT_EQ(operation.Find("summary").GetString(), c.summary) << where;
    EXPECT_EQ(operation.Find("parameters").At(0).Find("name").GetString(), c.parameter) << where;
    EXPECT_EQ(operation.Contains("requestBody"), c.body) << where;
  }
}

// Catches the address and version of the file served instead of the host's, and a source that
// is not a JSON object taken for an empty one or reported without its file's name.
TEST(ApiDescriptionTest, ServesTheHostsAddressAndNamesABrokenSource) {
  const Zorv::BindingProperty document = Describe(RouteTable());
  EXPECT_EQ(Zorv::WriteJson(document.Find("servers"), nullptr, nullptr),
            R"([{"description":"This dul-host","url":"http://127.0.0.1:7"}])");
  EXPECT_EQ(document.Find("info").Find("version").GetString(), "1.2.3");
  EXPECT_EQ(document.Find("info").Find("title").GetString(), "t");
  const std::pair<ApiDescriptionSources, std::string> broken[] = {
      {{"[1]", kOperations}, kApiDescriptionFile},
      {{kDocument, "{"}, kPluginOperationsFile},
  };
  for (const auto& [sources, file] : broken) {
    const Zorv::BindingResult failed = DescribeApi(sources, RouteTable(), "", "");
    EXPECT_FALSE(failed.ok()) << file;
    EXPECT_TRUE(failed.ErrorText().starts_with(file + ": ")) << failed.ErrorText();
  }
}

}  // namespace
}  // namespace dul::host
