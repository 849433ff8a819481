// The reference count of the COM objects the platform itself provides (built-in classes and
// their class objects): AddRef and Release for every interface the object derives from, the
// object deleted with its last reference.
#pragma once

#include "platform/windows.h"

#include <atomic>

namespace plat
{
template <class... Interfaces> class RefCounted : public Interfaces...
{
  public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

  protected:
    explicit RefCounted(ULONG references = 1) : refs_(references) {}
    virtual ~RefCounted() = default;

  private:
    std::atomic<ULONG> refs_;
};
} // namespace plat
