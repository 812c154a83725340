// Finding a resource in a loaded component library.
#include <dlfcn.h>

#include "shell/runtime/wf_resource.h"

extern "C" const WfResource* WfFindResource(void* module, UINT type, UINT id)
{
    if (!module)
        return nullptr;
    const auto* table = static_cast<const WfResourceTable*>(dlsym(module, WF_RESOURCE_TABLE_SYMBOL));
    if (!table)
        return nullptr;
    for (UINT i = 0; i < table->count; ++i)
        if (table->resources[i].type == type && table->resources[i].id == id)
            return &table->resources[i];
    return nullptr;
}
