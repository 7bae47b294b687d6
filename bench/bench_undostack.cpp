// The undo stack on a store of about 100 MB: recording a step and undoing it cost what the
// touched set costs, not the store, and the bytes a step keeps. One customer holds half of the
// store, so that a set edit in it shows what comparing only the touched set saves over
// comparing the customer (or the whole tree).
// links: mxr_workspace mxr_commands mxr_model
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "benchtree.h"
#include "commands/treecommands.h"
#include "model/customerdb.h"
#include "workspace/undostack.h"

namespace {

// About 100 MB of points: 2,600 records of the store benchmarks' kind (2,500 points each);
// "Customer 0" holds 1,000 of them.
constexpr int kCustomers = 41;

const CCustomerDB& store()
{
    static const CCustomerDB db = [] {
        CCustomerDB tree;
        for (int c = 0; c < kCustomers; ++c) {
            CCustomer& cu =
                tree.customers.At(tree.customers.FindOrInsert("Customer " + std::to_string(c)));
            const int cables = c == 0 ? 50 : 2;
            for (int k = 0; k < cables; ++k) {
                CCable& ca = cu.cables.At(cu.cables.FindOrInsert("Cable " + std::to_string(k)));
                for (int s = 0; s < 2; ++s) {
                    CMeasData& set = ca.sets.At(ca.sets.FindOrInsert("Set " + std::to_string(s)));
                    for (int r = 0; r < benchtree::kRecords; ++r)
                        set.AppendRecord(benchtree::Record(r));
                }
            }
        }
        return tree;
    }();
    return db;
}

const cmd::TreePath kSet{"Customer 0", "Cable 7", "Set 1"};

struct Action {
    CCustomerDB after;
    std::vector<cmd::Change> changes;
};

struct Recorder : cmd::ChangeObserver {
    std::vector<cmd::Change> changes;
    void TreeChanged(const CCustomerDB&, const cmd::Change& change) override
    {
        changes.push_back(change);
    }
};

Action run(const cmd::Command& command)
{
    Action action{store(), {}};
    Recorder seen;
    cmd::Run(action.after, command, &seen);
    action.changes = seen.changes;
    return action;
}

const Action& setEdit()
{
    static const Action action = [] {
        CTestCondition wet;
        wet.Humidity = 90.0;
        return run(cmd::EditCondition{kSet, 7, wet});
    }();
    return action;
}

// Recording a set edit: with the entries the changes name, with the customer named, and with
// the whole tree compared.
void BM_PushSetEdit(benchmark::State& state)
{
    const Action& action = setEdit();
    ws::Touched touched;
    if (state.range(0) == 0)
        touched = ws::TouchedBy(action.changes);
    else if (state.range(0) == 1)
        touched = std::vector<ws::TouchedEntry>{{cmd::Level::Customer, {kSet.customer}}};
    ws::UndoStack stack;
    for (auto _ : state) {
        stack.Push(store(), action.after, touched, "edit");
        state.PauseTiming();
        state.counters["kept_bytes"] = static_cast<double>(stack.MemoryUsed());
        stack.Clear();
        state.ResumeTiming();
    }
    state.counters["store_records"] = static_cast<double>(store().RecordCount());
}
BENCHMARK(BM_PushSetEdit)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->ArgNames({"0set_1customer_2tree"})
    ->Unit(benchmark::kMillisecond);

// Undoing and redoing the set edit on the store.
void BM_UndoRedoSetEdit(benchmark::State& state)
{
    const Action& action = setEdit();
    ws::UndoStack stack;
    stack.Push(store(), action.after, ws::TouchedBy(action.changes), "edit");
    CCustomerDB tree = action.after;
    for (auto _ : state) {
        benchmark::DoNotOptimize(stack.Undo(tree));
        benchmark::DoNotOptimize(stack.Redo(tree));
    }
}
BENCHMARK(BM_UndoRedoSetEdit)->Unit(benchmark::kMillisecond);

// Recording the rename of the customer that holds half of the store: no content kept.
void BM_PushRenameOfTheLargeCustomer(benchmark::State& state)
{
    static const Action action =
        run(cmd::RenameName{cmd::Level::Customer, {"Customer 0"}, "Customer Z"});
    ws::UndoStack stack;
    for (auto _ : state) {
        stack.Push(store(), action.after, ws::TouchedBy(action.changes), "rename");
        state.PauseTiming();
        state.counters["kept_bytes"] = static_cast<double>(stack.MemoryUsed());
        stack.Clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PushRenameOfTheLargeCustomer)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
