#include "platform/trace_providers.h"

#include <windows.h>

#include <evntprov.h>

namespace dul::platform {
namespace {

using EventRegisterFunction = ULONG(WINAPI*)(LPCGUID, PENABLECALLBACK, PVOID, PREGHANDLE);
using EventWriteFunction = ULONG(WINAPI*)(REGHANDLE, PCEVENT_DESCRIPTOR, ULONG,
                                          PEVENT_DATA_DESCRIPTOR);
using EventUnregisterFunction = ULONG(WINAPI*)(REGHANDLE);

// The library's four providers: general, thread, request and storage events.
constexpr GUID kProviders[4] = {
    {0x6d1a2c41, 0x52b7, 0x4c0e, {0x9a, 0x31, 0x7e, 0x10, 0x2f, 0xd4, 0x58, 0x01}},
    {0x6d1a2c41, 0x52b7, 0x4c0e, {0x9a, 0x31, 0x7e, 0x10, 0x2f, 0xd4, 0x58, 0x02}},
    {0x6d1a2c41, 0x52b7, 0x4c0e, {0x9a, 0x31, 0x7e, 0x10, 0x2f, 0xd4, 0x58, 0x03}},
    {0x6d1a2c41, 0x52b7, 0x4c0e, {0x9a, 0x31, 0x7e, 0x10, 0x2f, 0xd4, 0x58, 0x04}},
};
constexpr EVENT_DESCRIPTOR kMainThreadEvent = {1, 0, 0, 4, 0, 0, 0};

struct TraceState {
  HMODULE advapi = nullptr;
  EventWriteFunction write = nullptr;
  EventUnregisterFunction unregister = nullptr;
  REGHANDLE handles[4] = {};
  volatile LONG threadProviderEnabled = 0;
};
TraceState gTrace;

void NTAPI OnThreadProviderEnable(LPCGUID, ULONG isEnabled, UCHAR, ULONGLONG, ULONGLONG,
                                  PEVENT_FILTER_DESCRIPTOR, PVOID) {
  ::InterlockedExchange(&gTrace.threadProviderEnabled, isEnabled != 0 ? 1 : 0);
}

void WriteMainThreadEvent() {
  DWORD threadId = ::GetCurrentThreadId();
  static const wchar_t kText[] = L"Main thread";
  EVENT_DATA_DESCRIPTOR data[2];
  EventDataDescCreate(&data[0], &threadId, sizeof threadId);
  EventDataDescCreate(&data[1], kText, sizeof kText);
  gTrace.write(gTrace.handles[1], &kMainThreadEvent, 2, data);
}

template <typename Function>
Function Lookup(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(gTrace.advapi, name)));
}

}  // namespace

void RegisterTraceProviders() {
  gTrace.advapi = ::LoadLibraryA("Advapi32.dll");
  if (gTrace.advapi == nullptr)
    return;
  const auto registerProvider = Lookup<EventRegisterFunction>("EventRegister");
  gTrace.write = Lookup<EventWriteFunction>("EventWrite");
  gTrace.unregister = Lookup<EventUnregisterFunction>("EventUnregister");
  if (registerProvider == nullptr || gTrace.write == nullptr || gTrace.unregister == nullptr) {
    gTrace.unregister = nullptr;
    return;
  }
  for (int i = 0; i < 4; ++i) {
    registerProvider(&kProviders[i], i == 1 ? &OnThreadProviderEnable : nullptr, nullptr,
                     &gTrace.handles[i]);
  }
  if (gTrace.threadProviderEnabled != 0)
    WriteMainThreadEvent();
}

void UnregisterTraceProviders() {
  if (gTrace.unregister != nullptr) {
    for (REGHANDLE& handle : gTrace.handles) {
      if (handle != 0)
        gTrace.unregister(handle);
      handle = 0;
    }
  }
  if (gTrace.advapi != nullptr)
    ::FreeLibrary(gTrace.advapi);
  gTrace.advapi = nullptr;
  gTrace.write = nullptr;
  gTrace.unregister = nullptr;
}

}  // namespace dul::platform
