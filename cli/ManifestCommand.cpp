#include "cli/ManifestCommand.h"

#include "manifest/ManifestWriter.h"
#include "output/OutputFormat.h"
#include "platform/files/PathMapper.h"

#include <cstdio>

namespace {

void say(const QString& text)
{
    std::fprintf(stderr, "zantrel-cli: %s\n", OutputText::shown(text).toUtf8().constData());
}

}

int RunManifests(const Catalogue& catalogue, const LoadContext& load, const ManifestRequest& request, bool force)
{
    const ManifestPlan plan = PlanManifests(catalogue, load, request);
    int status = 0;
    for (const QString& name : plan.unknownProjects) {
        say(QStringLiteral("no project named \"%1\" in the folder").arg(name));
        status = 1;
    }
    for (const ManifestProblem& problem : plan.problems)
        say(QStringLiteral("%1: %2 left out: %3").arg(problem.projectFile, problem.file, problem.reason));
    bool written = true;
    for (const PlannedManifest& planned : plan.manifests) {
        ManifestWriteFailure failure;
        int dropped = 0;
        if (!WriteManifest(planned, force, &failure, &dropped)) {
            say(planned.projectFile + QStringLiteral(": ") + failure.sentence
                + (failure.foreignFile ? QStringLiteral(" (--force replaces it)") : QString()));
            written = false;
            continue;
        }
        if (dropped > 0)
            say(QStringLiteral("%1: %2 characters XML cannot hold were left out of the manifest's texts")
                    .arg(planned.projectFile)
                    .arg(dropped));
        const QByteArray line = OutputText::tsvField(PathMapper::current().toHost(planned.windowsPath)).toUtf8() + '\n';
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    }
    if (status == 0 && !written)
        status = 1;
    if (status == 0 && !plan.problems.empty())
        status = 3;
    return status;
}
