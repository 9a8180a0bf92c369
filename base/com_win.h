// The calling thread's membership of a COM apartment, owned: joined when the
// owner is made, left when it goes, and only when the join succeeded (a
// thread already in an apartment of the other kind stays in that one, and
// its owner leaves it).
#pragma once

#include <windows.h>
#include <ole2.h>

namespace tarvenix {

class ComApartment {
public:
    enum class Kind {
        MultiThreaded,  // CoInitializeEx with COINIT_MULTITHREADED: a worker's calls
        Ole,            // OleInitialize: a window thread (file dialogs, the clipboard)
    };
    explicit ComApartment(Kind kind)
        : kind_(kind), result_(kind == Kind::Ole ? OleInitialize(nullptr) : CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComApartment() {
        if (FAILED(result_)) return;
        if (kind_ == Kind::Ole)
            OleUninitialize();
        else
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    HRESULT Result() const { return result_; }

private:
    Kind kind_;
    HRESULT result_;
};

}  // namespace tarvenix
