#pragma once
// Status codes and dispatch flags of the object model that web pages call
// into (a page's `window.external`, an event handler object). Only what our
// dispatch objects answer is here; the values are the platform's own.

#include <cstdint>

using HRESULT = int32_t;
using DISPID = int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006u);
constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009u);

constexpr uint16_t DISPATCH_METHOD = 0x1;
constexpr uint16_t DISPATCH_PROPERTYGET = 0x2;
constexpr uint16_t DISPATCH_PROPERTYPUT = 0x4;

constexpr DISPID DISPID_VALUE = 0;
constexpr DISPID DISPID_UNKNOWN = -1;

inline bool Succeeded(HRESULT hr) { return hr >= 0; }
