// Under ThreadSanitizer only: QProcess starts its children with clone(CLONE_VM | CLONE_VFORK), a
// child that runs in the parent's memory until it execs. The sanitizer's clone interceptor treats
// every clone as a fork: it runs its after-fork bookkeeping in the child, on the parent's own
// thread state, and once more in the parent, leaving the parent's ignore counters at -1. From then
// on the starting thread's mutex and file calls go unseen, and every lock it shares with another
// thread is reported as a race. A child that shares the memory is handed to the C library's clone
// directly; any other clone still goes through the sanitizer.
//
// Test programs link this object directly, so their definition of `clone` comes before the
// sanitizer's in the dynamic linker's search and Qt's call lands here.

#if defined(__SANITIZE_THREAD__)

#include <cstdarg>
#include <dlfcn.h>
#include <sched.h>
#include <sys/types.h>

namespace {

using CloneFunction = int (*)(int (*)(void *), void *, int, void *, ...);

CloneFunction sanitizerClone()
{
    static const auto function = reinterpret_cast<CloneFunction>(::dlsym(RTLD_NEXT, "clone"));
    return function;
}

CloneFunction libraryClone()
{
    static const auto function = [] {
        void *library = ::dlopen("libc.so.6", RTLD_LAZY | RTLD_NOLOAD);
        return library ? reinterpret_cast<CloneFunction>(::dlsym(library, "clone")) : nullptr;
    }();
    return function;
}

} // namespace

extern "C" int clone(int (*function)(void *), void *stack, int flags, void *argument, ...)
{
    // The optional arguments are passed on as they came: clone reads each only when a flag asks.
    va_list more;
    va_start(more, argument);
    auto *parentTid = va_arg(more, pid_t *);
    void *tls = va_arg(more, void *);
    auto *childTid = va_arg(more, pid_t *);
    va_end(more);
    const CloneFunction direct = libraryClone();
    const CloneFunction next = (flags & CLONE_VM) && direct ? direct : sanitizerClone();
    return next(function, stack, flags, argument, parentTid, tls, childTid);
}

#endif
