#pragma once

#include "platform/typelib/TypeLibService.h"

// The type-library registrations of the current prefix's registry, under
// HKEY_CLASSES_ROOT\TypeLib, for the type-library information service.
class RegistryTypeLibRegistrations : public TypeLibRegistrations {
public:
    QStringList subkeys(const QString& hkcrPath) const override;
    std::optional<QString> defaultValue(const QString& hkcrPath) const override;
};
