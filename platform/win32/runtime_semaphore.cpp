// The C++ runtime's locks, on every Windows the program is for.
//
// With the win32 thread model, libgcc's mutexes (and through them the
// unwinder's list of frame tables and emulated thread-local storage) wait on
// semaphores made by CreateSemaphoreW. On Windows 95, 98 and Me that
// function is a stub that fails, which would leave the runtime's locks
// without a semaphore to wait on.
//
// The runtime calls it through KERNEL32's import slot,
// __imp__CreateSemaphoreW@16. This file defines that slot itself, pointing
// to BrindleCreateSemaphoreW below, which makes the semaphore with
// CreateSemaphoreA, present on every target. The linker resolves the
// runtime's references to this definition before it would pull the import
// from libkernel32.a, so the program does not import CreateSemaphoreW at all
// (the product's import check holds that). The object is linked into the
// programs whole, so that the definition is there whatever the link order.
//
// The runtime never names its semaphores. A name, if one is ever given, is
// converted to the ANSI code page; a name that the code page cannot hold
// exactly fails with ERROR_INVALID_NAME, and one of MAX_PATH bytes or more
// (the limit of the system's own A functions, terminator included) with
// ERROR_FILENAME_EXCED_RANGE, rather than name some other object.

#include <windows.h>

extern "C" HANDLE WINAPI BrindleCreateSemaphoreW(LPSECURITY_ATTRIBUTES attributes,
                                                 LONG initial_count, LONG maximum_count,
                                                 LPCWSTR name)
{
    if (name == nullptr)
        return CreateSemaphoreA(attributes, initial_count, maximum_count, nullptr);

    char narrow[MAX_PATH];
    BOOL lossy = FALSE;
    const int written = WideCharToMultiByte(CP_ACP, 0, name, -1, narrow, sizeof narrow,
                                            nullptr, &lossy);
    if (written == 0) {
        SetLastError(GetLastError() == ERROR_INSUFFICIENT_BUFFER ? ERROR_FILENAME_EXCED_RANGE
                                                                 : ERROR_INVALID_NAME);
        return nullptr;
    }
    if (lossy) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    return CreateSemaphoreA(attributes, initial_count, maximum_count, narrow);
}

// The import slot, under the name the compiler gives KERNEL32's (one leading
// underscore and the stdcall size on i386, none on x86-64).
#if defined(__i386__)
#define BRINDLE_CREATE_SEMAPHORE_W_SLOT "__imp__CreateSemaphoreW@16"
#else
#define BRINDLE_CREATE_SEMAPHORE_W_SLOT "__imp_CreateSemaphoreW"
#endif

using CreateSemaphoreWFunction = HANDLE(WINAPI *)(LPSECURITY_ATTRIBUTES, LONG, LONG, LPCWSTR);

extern "C" {
extern const CreateSemaphoreWFunction brindle_create_semaphore_w_slot
    __asm__(BRINDLE_CREATE_SEMAPHORE_W_SLOT);
const CreateSemaphoreWFunction brindle_create_semaphore_w_slot = BrindleCreateSemaphoreW;
}
