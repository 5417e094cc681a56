/* The contract between the plugin host and this library: plain C records and function tables.
 * On i686 every word is 32 bits; on 64-bit builds each word that holds an address, a text, a
 * handle, a function or user data is pointer-sized, numbers stay 32-bit, order is kept, and only
 * the records marked packed have no alignment gaps. */
#ifndef DUL_CONTRACT_HOST_CONTRACT_H
#define DUL_CONTRACT_HOST_CONTRACT_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define DUL_CALL __cdecl
#else
#define DUL_CALL
#endif

#if defined(_WIN32)
#define DUL_EXPORT __declspec(dllexport)
#else
#define DUL_EXPORT __attribute__((visibility("default")))
#endif

/* On 32-bit targets 64-bit numbers sit on 4-byte boundaries in these records, as on the host. */
#if UINTPTR_MAX == 0xFFFFFFFFu
#define DUL_WORD_PACKING 1
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Opaque handles: distinct types so that one cannot be passed for another. */
typedef struct DulPluginObject_* DulPluginObject; /* the plugin object the host drives */
typedef struct DulPluginHandle_* DulPluginHandle; /* the host's name for the plugin */
typedef struct DulStreamHandle_* DulStreamHandle; /* a streamed response body */

/* Values cross the boundary in this flat form (kind numbers 0 to 10). 12 bytes on i686. */
#ifdef DUL_WORD_PACKING
#pragma pack(push, 4)
#endif
typedef struct DulBindingValueRecord {
  uint32_t kind; /* 0 empty, 1 bool, 2 signed, 3 unsigned, 4 float, 5/6 text, 7/8 bytes,
                    9 collection, 10 structure */
  union {
    uint8_t boolean;     /* kind 1 */
    int64_t signed64;    /* kind 2 */
    uint64_t unsigned64; /* kind 3 */
    double float64;      /* kind 4 */
    struct {
      const void* data; /* text (5, 6), bytes (7, 8), records (9), members (10) */
      uint32_t length;  /* bytes, or element or member count */
    } span;
  } payload;
} DulBindingValueRecord;
#ifdef DUL_WORD_PACKING
#pragma pack(pop)
#endif

/* One structure member; packed. 17 bytes on i686. */
#pragma pack(push, 1)
typedef struct DulBindingMember {
  const char* name;            /* NUL-terminated member name */
  DulBindingValueRecord value; /* the member's value */
  uint8_t ownsName;            /* 1 when the name belongs to the record */
} DulBindingMember;
#pragma pack(pop)

/* One request argument: a zero word, then the value. 16 bytes on i686. */
#ifdef DUL_WORD_PACKING
#pragma pack(push, 4)
#endif
typedef struct DulRequestArgument {
  uint32_t reserved; /* always 0 */
  DulBindingValueRecord value;
} DulRequestArgument;
#ifdef DUL_WORD_PACKING
#pragma pack(pop)
#endif

/* A request, sent by the plugin or delivered to its endpoints. 48 bytes on i686. */
typedef struct DulHostRequestRecord {
  uint32_t method;                     /* 1 DELETE ... 7 PUT, 8 named by methodText */
  const char* url;                     /* path and query */
  const DulRequestArgument* arguments; /* none, or exactly one holding the whole body */
  uint32_t argumentCount;
  uint32_t endpointIndex;     /* delivered requests: index into the endpoint table */
  uint32_t contentTypeLength; /* delivered requests: length of contentType */
  const char* contentType;    /* delivered requests: the body's content type, or null */
  uint32_t reservedWords[3];  /* 0 */
  DulPluginHandle plugin;     /* the plugin handle */
  const char* methodText;     /* for method 8; null otherwise */
} DulHostRequestRecord;

typedef uint8_t(DUL_CALL* DulStreamReadFunction)(DulStreamHandle stream, void* buffer,
                                                 uint32_t* byteCount, uint8_t* more);
typedef void(DUL_CALL* DulStreamCloseFunction)(DulStreamHandle stream);
struct DulHostResponseRecord;
typedef void(DUL_CALL* DulResponseReleaseFunction)(struct DulHostResponseRecord* response);

/* A response; zeroed by whoever calls, filled by whoever answers. Packed: 62 bytes on i686. */
#pragma pack(push, 1)
typedef struct DulHostResponseRecord {
  DulBindingValueRecord body;         /* when the body is not streamed */
  const char* errorText;              /* null on success */
  uint8_t ownsErrorText;              /* 1 when errorText is freed with the record */
  uint8_t resultFlag;                 /* copied from the answering call's result */
  uint32_t resultCode;                /* 1, 2 or 3, else 0 */
  uint32_t status;                    /* HTTP status */
  const char* statusText;             /* "" when there is none */
  const char* const* headers;         /* name, value, name, value ... */
  uint32_t headerCount;               /* number of pairs */
  DulStreamReadFunction streamRead;   /* null unless the body is streamed */
  DulStreamCloseFunction streamClose; /* may be null */
  uint64_t streamExpectedSize;
  DulStreamHandle stream;
  DulResponseReleaseFunction release; /* frees what the record owns; may be null */
} DulHostResponseRecord;
#pragma pack(pop)

/* An event, published by the plugin or delivered to it. 24 bytes on i686. */
#ifdef DUL_WORD_PACKING
#pragma pack(push, 4)
#endif
typedef struct DulHostEventRecord {
  const char* name; /* host event name */
  DulBindingValueRecord payload;
  uint32_t value; /* passed by the publisher; 0 for resource events */
  void* userData; /* on delivery: the user data given at subscription */
} DulHostEventRecord;
#ifdef DUL_WORD_PACKING
#pragma pack(pop)
#endif

typedef void(DUL_CALL* DulEventCallback)(const DulHostEventRecord* event);
typedef void(DUL_CALL* DulScheduledCallback)(void* userData);

/* The ten operations the host serves; each receives the table itself first. */
typedef struct DulHostApi DulHostApi;
struct DulHostApi {
  void(DUL_CALL* request)(const DulHostApi* api, DulHostResponseRecord* response,
                          const DulHostRequestRecord* request);
  void(DUL_CALL* slot1)(const DulHostApi* api, uintptr_t first, uintptr_t second);
  void(DUL_CALL* publishEvent)(const DulHostApi* api, const DulHostEventRecord* event);
  void(DUL_CALL* subscribe)(const DulHostApi* api, const char* eventName, DulPluginHandle plugin,
                            DulEventCallback callback, void* userData, uint32_t flag);
  void(DUL_CALL* unsubscribe)(const DulHostApi* api, const char* eventName, DulPluginHandle plugin);
  void(DUL_CALL* schedule)(const DulHostApi* api, const char* name, DulScheduledCallback callback,
                           void* userData, double delaySeconds, uint32_t zero);
  void(DUL_CALL* yield)(const DulHostApi* api);
  void(DUL_CALL* enterWait)(const DulHostApi* api, const char* label, uint32_t zero);
  uint64_t(DUL_CALL* leaveWait)(const DulHostApi* api);
  void(DUL_CALL* log)(const DulHostApi* api, uint32_t level, const char* message);
};

/* Handed to initialize. 8 bytes on i686. */
typedef struct DulHostInterface {
  const DulHostApi* api;
  DulPluginHandle plugin;
} DulHostInterface;

/* The three functions the host calls, each with the plugin object first. */
typedef struct DulPluginEntryTable {
  uint8_t(DUL_CALL* initialize)(DulPluginObject plugin, const DulHostInterface* host);
  void(DUL_CALL* destroy)(DulPluginObject plugin);
  /* Fills 14 words: six 64-bit counters (low word first), then two zero words. */
  void(DUL_CALL* getMemoryStats)(DulPluginObject plugin, uint32_t* words);
} DulPluginEntryTable;

/* One endpoint the plugin serves. */
typedef struct DulEndpointRecord {
  uint32_t method;          /* 0 any, 1 DELETE ... 7 PUT, 8 named by methodText */
  const char* methodText;   /* for method 8; null otherwise */
  const char* pathTemplate; /* "/a/{id}/b" */
} DulEndpointRecord;

/* The plugin's endpoints; the host delivers a request for endpoint i through dispatch with
 * request->endpointIndex set to i, and hands the zeroed response to fill. */
typedef struct DulEndpointTable {
  uint32_t count;
  const DulEndpointRecord* endpoints;
  DulPluginObject plugin;
  void(DUL_CALL* dispatch)(DulPluginObject plugin, DulHostResponseRecord* response,
                           const DulHostRequestRecord* request);
} DulEndpointTable;

/* Handed to the export: in, the host's plugin-API version; out, the plugin's. 28 bytes on i686. */
typedef struct DulPluginHandshake {
  uint32_t apiMajor;
  uint32_t apiMinor;
  uint32_t apiPatch;
  const DulPluginEntryTable* entryTable;
  DulPluginObject plugin;
  const char* shortName;
  const DulEndpointTable* endpointTable;
} DulPluginHandshake;

typedef void(DUL_CALL* DulLoadFunction)(DulPluginHandshake* handshake);

/* The library's one export. */
DUL_EXPORT void DUL_CALL load_dul_item_sets(DulPluginHandshake* handshake);

#if defined(__i386__) || defined(_M_IX86)
#define DUL_ASSERT_SIZE(type, bytes) _Static_assert(sizeof(type) == (bytes), #type " size")
#ifdef __cplusplus
#undef DUL_ASSERT_SIZE
#define DUL_ASSERT_SIZE(type, bytes) static_assert(sizeof(type) == (bytes), #type " size")
#endif
DUL_ASSERT_SIZE(DulBindingValueRecord, 12);
DUL_ASSERT_SIZE(DulBindingMember, 17);
DUL_ASSERT_SIZE(DulRequestArgument, 16);
DUL_ASSERT_SIZE(DulHostRequestRecord, 48);
DUL_ASSERT_SIZE(DulHostResponseRecord, 62);
DUL_ASSERT_SIZE(DulHostEventRecord, 24);
DUL_ASSERT_SIZE(DulHostInterface, 8);
DUL_ASSERT_SIZE(DulPluginHandshake, 28);
DUL_ASSERT_SIZE(DulHostApi, 40);
DUL_ASSERT_SIZE(DulPluginEntryTable, 12);
#undef DUL_ASSERT_SIZE
#endif

#ifdef __cplusplus
}
#endif

#endif /* DUL_CONTRACT_HOST_CONTRACT_H */
