// The journal the workspace benchmarks read, copy and send: entries as a condition edit leaves
// them (one record, two values), written into a workspace without waiting for the disk.
#pragma once

#include <string>

#include "workspace/workspace.h"

namespace benchjournal {

inline ws::JournalEntry SampleEntry(int i)
{
    ws::JournalEntry e;
    e.time = 1'780'000'000 + i * 60;
    e.user = "tanaka";
    e.workstation = "PC-0" + std::to_string(i % 4);
    e.command = "edit-condition";
    e.summary = "測定条件の変更";
    ws::JournalItem item;
    item.change = ws::ItemChange::Changed;
    item.level = ws::ItemLevel::Record;
    item.customer = "需要家" + std::to_string(i % 50);
    item.cable = "CV-" + std::to_string(i % 7);
    item.set = "2026年点検";
    item.contentKey = std::string(64, "0123456789abcdef"[i % 16]);
    item.fields = {{"気温", "20.0", std::to_string(20 + i % 10) + ".0"}, {"湿度", "50.0", "55.0"}};
    e.items.push_back(std::move(item));
    return e;
}

// Appends n sample entries to an open workspace (setting up only: not flushed to disk).
inline void Fill(ws::Workspace& w, int n)
{
    w.Db().Exec("PRAGMA synchronous=OFF");
    for (int i = 0; i < n; ++i)
        w.Append(SampleEntry(i));
}

} // namespace benchjournal
