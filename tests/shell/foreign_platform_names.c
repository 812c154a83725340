/*
 * Functions and identifiers of the platform's names (SysAllocString,
 * VariantInit, CoCreateInstance, IID_IUnknown...) defined by the host
 * itself and exported from it, as a process holds them when it also loads
 * another implementation of the platform's interfaces. None of them may be
 * reached by the component runtime or the component library: each function
 * stops the process, and each identifier holds a value no real one has.
 * Linked into the C host (calc_host.c), whose own calls reach the runtime
 * through its header's declarations.
 */
#include <stdio.h>
#include <stdlib.h>

static void reached(const char* name)
{
    fprintf(stderr, "FAILED: the runtime called the host's own %s\n", name);
    abort();
}

#define FOREIGN(name)                                                                                                  \
    int name(void);                                                                                                    \
    int name(void)                                                                                                     \
    {                                                                                                                  \
        reached(#name);                                                                                                \
        return 0;                                                                                                      \
    }

FOREIGN(SysAllocString)
FOREIGN(SysAllocStringLen)
FOREIGN(SysAllocStringByteLen)
FOREIGN(SysReAllocString)
FOREIGN(SysFreeString)
FOREIGN(SysStringLen)
FOREIGN(SysStringByteLen)
FOREIGN(VariantInit)
FOREIGN(VariantClear)
FOREIGN(VariantCopy)
FOREIGN(VariantCopyInd)
FOREIGN(VariantChangeType)
FOREIGN(CoInitialize)
FOREIGN(CoInitializeEx)
FOREIGN(CoUninitialize)
FOREIGN(CoGetClassObject)
FOREIGN(CoCreateInstance)
FOREIGN(CoFreeUnusedLibraries)
FOREIGN(CLSIDFromProgID)
FOREIGN(CLSIDFromString)
FOREIGN(StringFromGUID2)
FOREIGN(IsEqualGUID)

/* Sixteen bytes, as a GUID, that match no interface. */
#define FOREIGN_GUID(name)                                                                                             \
    extern const unsigned char name[16];                                                                               \
    const unsigned char name[16] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,                                    \
                                    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

FOREIGN_GUID(IID_NULL)
FOREIGN_GUID(IID_IUnknown)
FOREIGN_GUID(IID_IClassFactory)
FOREIGN_GUID(IID_IDispatch)
FOREIGN_GUID(IID_IConnectionPointContainer)
FOREIGN_GUID(IID_IConnectionPoint)
FOREIGN_GUID(IID_IEnumConnections)
FOREIGN_GUID(IID_IEnumConnectionPoints)
FOREIGN_GUID(CLSID_PSOAInterface)
