// COM identity.
#include "common/com/ComPtr.h"

namespace kitcom
{
bool SameObject(IUnknown *a, IUnknown *b) noexcept
{
    if (!a || !b)
        return a == b;
    ComPtr<IUnknown> first, second;
    if (FAILED(a->QueryInterface(IID_IUnknown, first.PutVoid())) ||
        FAILED(b->QueryInterface(IID_IUnknown, second.PutVoid())))
        return false;
    return first == second;
}
} // namespace kitcom
