// Owners of the Windows objects that fmhost, Vorelle Check and winsetup open:
// each closed or freed when it leaves scope.
#pragma once

#include <windows.h>
#include <winspool.h>

#include "hosting/unique_any.h"

namespace hosting {

using KeyOwner = UniqueAny<HKEY, &RegCloseKey>;
using PrinterOwner = UniqueAny<HANDLE, &ClosePrinter>;
// A kernel object: a file, a mutex, a thread (never INVALID_HANDLE_VALUE).
using KernelOwner = UniqueAny<HANDLE, &CloseHandle>;
// Memory that Windows hands back: PrintDlgW's blocks, FormatMessageW's text.
using GlobalOwner = UniqueAny<HGLOBAL, &GlobalFree>;
using LocalOwner = UniqueAny<HLOCAL, &LocalFree>;
// A global memory block locked by GlobalLock, unlocked when it leaves scope.
using GlobalLockOwner = UniqueAny<HGLOBAL, &GlobalUnlock>;
// The device context PrintDlgW creates.
using DcOwner = UniqueAny<HDC, &DeleteDC>;
// A document begun on a device context with StartDocW: thrown away (AbortDoc)
// unless EndDoc took it over (release, then EndDoc).
using DocumentOwner = UniqueAny<HDC, &AbortDoc>;

}  // namespace hosting
