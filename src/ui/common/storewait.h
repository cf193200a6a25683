#pragma once

#include "db/cardstore.h"
#include "ui/common/backgroundtask.h"

#include <optional>
#include <type_traits>

// Runs one operation of the card store on a thread of its own while the window waits for it
// (BackgroundTask): a register that is slow to answer (a lock held by another program, a
// server that stalls) shows "正在等待服务器…" (or the card file's own words) with 取消, which
// stops the statement under way, instead of a window that does not answer. Gives what the
// operation gives; throws what it throws.
template <typename Operation>
auto waitForStore(QWidget* window, CardStore& store, Operation operation) {
    using Result = decltype(operation());
    const QString what =
        store.remote() ? QStringLiteral("正在等待服务器") : QStringLiteral("正在等待名片数据库");
    const auto cancel = [&store] { store.cancel(); };
    if constexpr (std::is_void_v<Result>) {
        BackgroundTask::run(
            window, what, [&](TaskProgress&) { operation(); }, cancel);
    } else {
        std::optional<Result> result;
        BackgroundTask::run(
            window, what, [&](TaskProgress&) { result.emplace(operation()); }, cancel);
        return std::move(*result);
    }
}
