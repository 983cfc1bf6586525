#include "DialogTemplate.h"

#include <map>
#include <mutex>

namespace {

struct Registry {
    std::mutex mutex;
    std::map<UINT, DialogTemplate> templates;
};

// Built on first use: templates register from other files' static initialisers.
Registry& TheRegistry()
{
    static Registry registry;
    return registry;
}

} // namespace

DialogTemplateEntry::DialogTemplateEntry(UINT id, DialogTemplate dialogTemplate)
{
    RegisterDialogTemplate(id, std::move(dialogTemplate));
}

void RegisterDialogTemplate(UINT id, DialogTemplate dialogTemplate)
{
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    registry.templates[id] = std::move(dialogTemplate);
}

const DialogTemplate* FindDialogTemplate(UINT id)
{
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    const auto it = registry.templates.find(id);
    return it == registry.templates.end() ? nullptr : &it->second;
}
