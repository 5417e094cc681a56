#!/usr/bin/env python3
"""The OpenAPI document dul-host serves against dul-host itself: it is valid OpenAPI 3.1 (the npm
package @seriousme/openapi-schema-validator, installed into the build folder when missing), its
examples fit their schemas, every documented operation answers and documents its refusals, every
other method of a documented path is refused with 405 and an Allow header of exactly the
documented methods, and every route named in the host's sources is documented. POST
/dul-host/v1/shutdown is called last, by tearDownClass (Host.stop fails unless it answers 200 and
the host exits 0)."""
import http.client
import json
import os
import pathlib
import re
import subprocess
import sys

import jsonschema

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from dul_host_driver import REPOSITORY, HostTestCase, run_host_tests  # noqa: E402

VALIDATOR = "@seriousme/openapi-schema-validator@2.11.0"
METHODS = ("GET", "PUT", "POST", "DELETE", "PATCH")
# The messages of a 404 that no route took, as against a resource that is missing.
NO_ROUTE = ("Not Found: ", "No such host resource: ", "Invalid function")


class OpenApiRoutes(HostTestCase):
    def call(self, method, path, body=None, content_type="application/json", token=True):
        """Status, answer and JSON body (None for a stream or none) on a connection of its own."""
        connection = http.client.HTTPConnection("127.0.0.1", self.host.port, timeout=60)
        headers = dict(self.host.headers) if token else {}
        if body is not None:
            headers["Content-Type"] = content_type
        try:
            connection.request(method, path, body=body, headers=headers)
            response = connection.getresponse()
            content_type = response.getheader("Content-Type", "")
            streamed = content_type.startswith("text/event-stream")
            text = b"" if streamed else response.read()
            as_json = text and content_type.startswith("application/json")
            return response.status, response, json.loads(text) if as_json else None
        finally:
            connection.close()

    def test_is_valid_openapi_3_1(self):
        prefix = os.path.join(self.build, "npm-tools")
        cli = os.path.join(prefix, "node_modules", ".bin", "validate-api")
        if not os.path.exists(cli):
            subprocess.run(["npm", "install", "--prefix", prefix, "--no-audit", "--no-fund",
                            "--loglevel=error", VALIDATOR], check=True)
        path = os.path.join(self.scratch.name, "openapi.json")
        with open(path, "w") as file:
            json.dump(self.document, file)
        result = subprocess.run([cli, path], capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertEqual(self.document["servers"][0]["url"], f"http://127.0.0.1:{self.host.port}")

    def test_examples_fit_their_schemas(self):
        for media in find_all(self.document, lambda node: "schema" in node and "example" in node):
            schema = {**media["schema"], "components": self.document["components"]}
            with self.subTest(json.dumps(media["example"])[:60]):
                jsonschema.Draft202012Validator(schema).validate(media["example"])

    def test_every_operation_documents_its_refusals(self):
        for method, path, operation in self.operations():
            with self.subTest(f"{method} {path}"):
                responses = operation["responses"]
                # An operation open to everyone ("security": [], the page's files) has no 401.
                public = operation.get("security") == []
                self.assertLessEqual({"405"} if public else {"401", "405"}, set(responses))
                self.assertIn("Allow", self.resolve(responses["405"])["headers"])
                body = self.resolve(operation.get("requestBody", {"content": {}}))
                self.assertEqual("415" in responses, set(body["content"]) == {"application/json"})

    def test_documented_operations_answer_and_other_methods_are_refused(self):
        for path, item in sorted(self.document["paths"].items()):
            documented = {method.upper() for method in item}
            for method in METHODS:
                if (method, path) == ("POST", "/dul-host/v1/shutdown"):
                    continue
                operation = item.get(method.lower(), {})
                target, body = self.request_of(path, item, method)
                with self.subTest(f"{method} {target}"):
                    status, response, answer = self.call(method, target, body)
                    if method not in documented:
                        self.assertEqual(status, 405)
                        self.assertEqual(set(response.getheader("Allow").split(", ")), documented)
                        continue
                    self.assertNotEqual(status, 405, answer)
                    self.assertLess(status, 500, answer)
                    missing = status == 404 and answer["message"].startswith(NO_ROUTE)
                    self.assertFalse(missing, answer)
                    if "415" in operation["responses"]:
                        self.assertEqual(self.call(method, target, b"x", "text/plain")[0], 415)

    def test_only_public_operations_answer_without_the_token(self):
        for path, item in sorted(self.document["paths"].items()):
            for method, operation in item.items():
                target, body = self.request_of(path, item, method.upper())
                with self.subTest(f"{method.upper()} {target}"):
                    status = self.call(method.upper(), target, body, token=False)[0]
                    if operation.get("security") == []:
                        self.assertEqual(status, 200)
                    else:
                        self.assertEqual(status, 401)

    def test_every_route_of_the_sources_is_documented(self):
        def read(pattern):
            return "".join(path.read_text() for path in pathlib.Path(REPOSITORY).glob(pattern))

        resources = re.findall(r'name == "([^"]+)"', read("host/http/http_host_resources.cpp"))
        services = re.findall(r'constexpr const char\*\s+k\w+\s*=\s*"(/[^"]*)"',
                              read("host/services/*.h"))
        routes = ["/dul-host/v1/" + name for name in resources] + services
        self.assertGreaterEqual(len(routes), 13)  # the patterns still find 7 resources, 6 paths
        paths = self.document["paths"]
        for route in routes:
            with self.subTest(route):
                prefix = route.endswith("/") and any(path.startswith(route) for path in paths)
                self.assertTrue(route in paths or prefix)

    def request_of(self, path, item, method):
        """The path with each parameter's example (1 where none) and the JSON example body."""
        parameters = [one for operation in item.values() for one in operation.get("parameters", [])]
        for parameter in map(self.resolve, parameters):
            path = path.replace("{%s}" % parameter["name"], str(parameter.get("example", 1)))
        body = self.resolve(item.get(method.lower(), {}).get("requestBody", {"content": {}}))
        example = body["content"].get("application/json", {}).get("example")
        return path, None if example is None else json.dumps(example).encode()


def find_all(node, wanted):
    """Every object in `node`'s tree for which `wanted` holds."""
    children = node if isinstance(node, list) else ()
    if isinstance(node, dict):
        if wanted(node):
            yield node
        children = node.values()
    for child in children:
        yield from find_all(child, wanted)


if __name__ == "__main__":
    run_host_tests()
