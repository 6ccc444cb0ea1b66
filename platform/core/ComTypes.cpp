#include "platform/core/ComTypes.h"

void VariantInit(VARIANT* pvarg) {
    if (pvarg != nullptr)
        *pvarg = VARIANT{VT_EMPTY, 0};
}

HRESULT VariantClear(VARIANT* pvarg) {
    if (pvarg == nullptr)
        return E_INVALIDARG;
    *pvarg = VARIANT{VT_EMPTY, 0};
    return S_OK;
}
