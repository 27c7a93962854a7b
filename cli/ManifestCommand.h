#pragma once

// zantrel-cli manifest: writes the application manifest of each program project of a load.

#include "manifest/ManifestPlan.h"

#include <QByteArray>

class Catalogue;
struct LoadContext;

// Plans and writes the manifests (each atomically; a file of the name that this program did not
// write is kept unless `force`), prints each written manifest's host path on standard output and
// each library left out, each file kept and each character dropped on standard error. Returns the
// exit status: 1 when a project asked for is missing or a manifest was not written, else 3 when
// something was left out, else 0.
int RunManifests(const Catalogue& catalogue, const LoadContext& load, const ManifestRequest& request, bool force);
