#!/usr/bin/env python3
"""The item-set schemas of dul-host's OpenAPI document against the plugin itself: each document of
a table is PUT to a real dul-host (and, when it holds one set, that set is POSTed), and the schema
the document attaches to the operation must accept what the plugin accepts and refuse what it
refuses; the few leniencies of the plugin's conversion that the schema leaves out are rows of
their own. Needs python3-jsonschema (scripts/deps)."""
import json
import os
import sys

import jsonschema

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from dul_host_driver import SETS_PATH, HostTestCase, run_host_tests  # noqa: E402

TEMPLATE = "/dul-item-sets/v1/item-sets/{summonerId}/sets"
SET = {"uid": "u-1", "title": "Jungle", "mode": "CLASSIC", "map": "SR", "type": "custom",
       "sortrank": 0, "startedFrom": "blank", "associatedChampions": [1], "associatedMaps": [11],
       "blocks": [{"type": "Starters", "hideIfSummonerSpell": "", "showIfSummonerSpell": "",
                   "items": [{"id": "1039", "count": 1}]}],
       "preferredItemSlots": [{"id": "1039", "preferredItemSlot": 1}]}


def with_set(**changes):
    return {"timestamp": 0, "accountId": 0, "itemSets": [{**SET, **changes}]}


def with_item(**changes):
    return with_set(blocks=[{"type": "Core", "items": [{"id": "3020", "count": 1, **changes}]}])


def with_slot(**changes):
    return with_set(preferredItemSlots=[{"id": "3020", "preferredItemSlot": 2, **changes}])


# (what, document, the plugin takes it, the schema takes it)
CASES = [
    ("a whole set", with_set(), True, True),
    ("an empty document", {}, True, True),
    ("a set of defaults only", {"itemSets": [{}]}, True, True),
    ("members the plugin ignores", with_set(colour="red"), True, True),
    ("the widest numbers", {**with_set(sortrank=-2**31, associatedMaps=[2**31 - 1]),
                            "timestamp": 2**64 - 1}, True, True),
    ("the widest count", with_item(count=65535), True, True),
    ("the lowest slot", with_slot(preferredItemSlot=-32768), True, True),
    ("a title that is a number", with_set(title=7), False, False),
    ("a boolean for a number", with_set(sortrank=True), False, False),
    ("a sortrank beyond 32 bits", with_set(sortrank=2**31), False, False),
    ("a count beyond 16 bits", with_item(count=65536), False, False),
    ("a negative count", with_item(count=-1), False, False),
    ("a slot beyond 16 bits", with_slot(preferredItemSlot=32768), False, False),
    ("an item id that is a number", with_item(id=1039), False, False),
    ("a champion named by letters", with_set(associatedChampions=["x"]), False, False),
    ("blocks that are texts", with_set(blocks=["x"]), False, False),
    ("a set that is a list", {"itemSets": [[]]}, False, False),
    ("sets that are an object", {"itemSets": {}}, False, False),
    ("a negative account", {"accountId": -1}, False, False),
    ("a version beyond 64 bits", {"timestamp": 2**64}, False, False),
    ("a document that is a list", [], False, False),
    # The plugin's conversion is lenient here; clients are told to send what the schema says.
    ("a number as decimal text", with_item(count="2"), True, False),
    ("a fraction for an integer", with_set(sortrank=1.5), True, False),
    ("null for a member", with_set(title=None), True, False),
    ("null among champions", with_set(associatedChampions=[None]), True, False),
]


class ItemSetSchemas(HostTestCase):
    def validator(self, method, status=None):
        """The JSON Schema the served document gives a request body (or an answer's body)."""
        operation = self.document["paths"][TEMPLATE][method]
        part = operation["responses"][status] if status else operation["requestBody"]
        part = self.resolve(part)
        schema = {**part["content"]["application/json"]["schema"],
                  "components": self.document["components"]}  # the root its $refs point into
        jsonschema.Draft202012Validator.check_schema(schema)
        return jsonschema.Draft202012Validator(schema)

    def plugin_takes(self, method, body):
        self.host.client.request(method, SETS_PATH, json.dumps(body).encode(), expect=None)
        status = self.host.client.last_status
        self.assertIn(status, (204, 400), f"{method} answered {status}")
        return status == 204

    def test_schemas_take_what_the_plugin_takes(self):
        documents, sets = self.validator("put"), self.validator("post")
        for what, document, plugin, schema in CASES:
            with self.subTest(what):
                self.assertEqual(self.plugin_takes("PUT", document), plugin)
                self.assertEqual(documents.is_valid(document), schema)
                one = document.get("itemSets") if isinstance(document, dict) else None
                if isinstance(one, list) and len(one) == 1:
                    self.assertEqual(self.plugin_takes("POST", one[0]), plugin)
                    self.assertEqual(sets.is_valid(one[0]), schema)

    def test_the_answer_schema_takes_what_the_plugin_answers(self):
        self.assertTrue(self.plugin_takes("PUT", with_set()))
        self.assertTrue(self.plugin_takes("POST", {"title": "Second"}))
        answer = json.loads(self.host.request("GET", SETS_PATH)[0])
        self.assertEqual(len(answer["itemSets"]), 2)
        self.validator("get", "200").validate(answer)


if __name__ == "__main__":
    run_host_tests()
