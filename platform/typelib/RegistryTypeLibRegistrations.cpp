#include "platform/typelib/RegistryTypeLibRegistrations.h"

#include "platform/registry/RegistryStore.h"
#include "platform/registry/RegistryText.h"
#include "platform/registry/WindowsEnvironment.h"

QStringList RegistryTypeLibRegistrations::subkeys(const QString& hkcrPath) const
{
    return RegistryStore::current()->subkeyNames(RegistryRoot::ClassesRoot, hkcrPath);
}

std::optional<QString> RegistryTypeLibRegistrations::defaultValue(const QString& hkcrPath) const
{
    const auto store = RegistryStore::current();
    const std::optional<RegistryValue> value = store->value(RegistryRoot::ClassesRoot, hkcrPath, {});
    if (!value)
        return std::nullopt;
    const QString text = store->text(RegistryRoot::ClassesRoot, hkcrPath);
    if (value->type == RegistryText::REG_EXPAND_SZ)
        return WindowsEnvironment::current().expand(text);
    return text;
}
