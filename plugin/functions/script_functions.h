// The plug-in's external functions, as the host calls them.
#pragma once

#include "hostsdk/FMWrapper.h"

namespace vorelle::functions {

std::int16_t FMX_STDCALL Version(std::int16_t id, const FMX_ExprEnv* env,
                                 const FMX_DataVect* parameters, FMX_Data* result);
std::int16_t FMX_STDCALL ChangePrinter(std::int16_t id, const FMX_ExprEnv* env,
                                       const FMX_DataVect* parameters, FMX_Data* result);
std::int16_t FMX_STDCALL GetPrinterAt(std::int16_t id, const FMX_ExprEnv* env,
                                      const FMX_DataVect* parameters, FMX_Data* result);
std::int16_t FMX_STDCALL GetPrinterList(std::int16_t id, const FMX_ExprEnv* env,
                                        const FMX_DataVect* parameters, FMX_Data* result);
std::int16_t FMX_STDCALL SetSystemPrinter(std::int16_t id, const FMX_ExprEnv* env,
                                          const FMX_DataVect* parameters, FMX_Data* result);
std::int16_t FMX_STDCALL GetSystemPrinter(std::int16_t id, const FMX_ExprEnv* env,
                                          const FMX_DataVect* parameters, FMX_Data* result);
std::int16_t FMX_STDCALL ChangeForPreview(std::int16_t id, const FMX_ExprEnv* env,
                                          const FMX_DataVect* parameters, FMX_Data* result);
std::int16_t FMX_STDCALL SetToWindowsDefaultPrinter(std::int16_t id, const FMX_ExprEnv* env,
                                                    const FMX_DataVect* parameters, FMX_Data* result);
std::int16_t FMX_STDCALL SendData(std::int16_t id, const FMX_ExprEnv* env,
                                  const FMX_DataVect* parameters, FMX_Data* result);
std::int16_t FMX_STDCALL SendHexData(std::int16_t id, const FMX_ExprEnv* env,
                                     const FMX_DataVect* parameters, FMX_Data* result);
std::int16_t FMX_STDCALL GetPrintDialogResult(std::int16_t id, const FMX_ExprEnv* env,
                                              const FMX_DataVect* parameters, FMX_Data* result);

}  // namespace vorelle::functions
