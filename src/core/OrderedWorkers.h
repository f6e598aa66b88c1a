#pragma once

#include <QtGlobal>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace inkvale {

/// Runs numbered tasks on worker threads while the caller goes on producing them, and hands
/// each task's result back by its number, so that what the caller reports does not depend on
/// which thread finished first. The queue is bounded: post() waits while it is full, so that the
/// work waiting to be done stays small however many tasks there are.
template <typename Result>
class OrderedWorkers final {
public:
    /// How task `index` ended.
    struct Outcome {
        std::optional<Result> result; ///< none when the task was dropped by cancel()
    };

    /// Room for `count` tasks, numbered 0 to count - 1, run by `threads` threads, or by as
    /// many of them as the system can start (it may have no memory left for their stacks);
    /// with none, each task runs in post().
    explicit OrderedWorkers(qsizetype count, int threads)
        : m_outcomes(std::size_t(count))
        , m_settled(std::size_t(count), false)
        , m_queueLimit(std::size_t(4 * threads)) {
        m_threads.reserve(std::size_t(threads));
        for (int i = 0; i < threads; ++i) {
            try {
                m_threads.emplace_back([this] { work(); });
            } catch (const std::system_error&) {
                break;
            }
        }
    }

    /// Waits for the tasks under way; the ones still queued run first.
    ~OrderedWorkers() {
        {
            const std::lock_guard lock(m_mutex);
            m_closing = true;
        }
        m_changed.notify_all();
        for (std::thread& thread : m_threads) {
            thread.join();
        }
    }

    OrderedWorkers(const OrderedWorkers&) = delete;
    OrderedWorkers& operator=(const OrderedWorkers&) = delete;

    /// Queues task `index`; waits while the queue is full. Without a thread, runs it.
    void post(qsizetype index, std::function<Result()> task) {
        if (m_threads.empty()) {
            settle(index, task());
            return;
        }
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_queue.size() < m_queueLimit; });
        m_queue.emplace_back(index, std::move(task));
        lock.unlock();
        m_changed.notify_all();
    }

    /// Settles `index` with `result` without running anything.
    void settle(qsizetype index, Result result) {
        const std::lock_guard lock(m_mutex);
        m_outcomes[std::size_t(index)].result = std::move(result);
        m_settled[std::size_t(index)] = true;
    }

    /// Drops the tasks still queued; the ones under way finish.
    void cancel() {
        {
            const std::lock_guard lock(m_mutex);
            for (const auto& entry : m_queue) {
                m_settled[std::size_t(entry.first)] = true;
            }
            m_queue.clear();
        }
        m_changed.notify_all();
    }

    [[nodiscard]] bool isSettled(qsizetype index) {
        const std::lock_guard lock(m_mutex);
        return m_settled[std::size_t(index)];
    }

    /// The outcome of task `index`, once it is settled.
    [[nodiscard]] Outcome await(qsizetype index) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this, index] { return bool(m_settled[std::size_t(index)]); });
        return m_outcomes[std::size_t(index)];
    }

private:
    void work() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_closing || !m_queue.empty(); });
            if (m_queue.empty()) {
                return;
            }
            auto [index, task] = std::move(m_queue.front());
            m_queue.pop_front();
            lock.unlock();
            m_changed.notify_all();
            Result result = task();
            lock.lock();
            m_outcomes[std::size_t(index)].result = std::move(result);
            m_settled[std::size_t(index)] = true;
            m_changed.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::pair<qsizetype, std::function<Result()>>> m_queue;
    std::vector<Outcome> m_outcomes;
    std::vector<bool> m_settled;
    std::size_t m_queueLimit = 8;
    bool m_closing = false;
    std::vector<std::thread> m_threads;
};

} // namespace inkvale
