#include "FoldedRanks.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "ThreadPlacement.h"
#include "engine/match/TextFold.h"

namespace tallowby {

namespace {

// Folded text bytes a key holds; its lowest byte tells how the text goes on.
constexpr std::size_t kStep = 7;
// The lowest byte of a key whose text goes on past the key's bytes.
constexpr std::uint64_t kGoesOn = kStep + 1;
// Runs of at most this many texts are sorted by comparing them.
constexpr std::size_t kSmallRun = 8;
// Runs at least this long are open to every thread of a sort.
constexpr std::size_t kShareFrom = 256;
// Lists at least this long are sorted on two threads, when there are two cores.
constexpr std::size_t kTwoThreadsFrom = 8192;
// How many texts ahead a key refill asks the memory for.
constexpr std::size_t kAhead = 16;

// The key of `text` at `depth`: folded bytes [depth, depth + 7) big-endian in
// the upper seven bytes (zero beyond the end), and in the lowest byte how many
// bytes remain from `depth`, capped at 8. Comparing keys compares those bytes,
// and a text that ends inside them before the one that goes on with the same
// bytes, as CompareIgnoringCase orders them.
inline std::uint64_t KeyAt(std::string_view text, std::size_t depth) {
    const std::size_t rest = text.size() > depth ? text.size() - depth : 0;
    std::uint64_t x = 0;
    if (rest >= 8) {
        std::memcpy(&x, text.data() + depth, 8);
        if constexpr (std::endian::native == std::endian::little) {
            x = __builtin_bswap64(x);  // the first byte the most significant
        }
        x &= ~std::uint64_t{0xff};
    } else {
        unsigned char bytes[8] = {};
        if (rest > 0) {
            std::memcpy(bytes, text.data() + depth, rest < kStep ? rest : kStep);
        }
        for (std::size_t i = 0; i < kStep; ++i) {
            x = (x << 8) | bytes[i];
        }
        x <<= 8;
    }
    // The lowest byte is zero here, and folding leaves a zero byte alone.
    return FoldedWord(x) | (rest < kGoesOn ? rest : kGoesOn);
}

// Up to eight bytes from `p`, zero past the `available` ones, as they lie
// in memory.
inline std::uint64_t LoadWord(const char* p, std::size_t available) {
    std::uint64_t x = 0;
    if (available >= 8) {
        std::memcpy(&x, p, 8);
        return x;
    }
    unsigned char bytes[8] = {};
    for (std::size_t i = 0; i < available; ++i) {
        bytes[i] = static_cast<unsigned char>(p[i]);
    }
    std::memcpy(&x, bytes, 8);
    return x;
}

// A word as loaded, turned so that comparing numbers compares its bytes in
// text order.
inline std::uint64_t InTextOrder(std::uint64_t x) {
    if constexpr (std::endian::native == std::endian::little) {
        return __builtin_bswap64(x);
    }
    return x;
}

// How many leading bytes `a` and `b` share when folded, at most `limit`.
// Eight bytes at a time: texts that meet here share long prefixes.
std::size_t FoldedCommonPrefix(std::string_view a, std::string_view b, std::size_t limit) {
    const std::size_t n = std::min({a.size(), b.size(), limit});
    for (std::size_t i = 0; i < n; i += 8) {
        const std::uint64_t x = FoldedWord(LoadWord(a.data() + i, a.size() - i));
        const std::uint64_t y = FoldedWord(LoadWord(b.data() + i, b.size() - i));
        if (x != y) {
            const std::uint64_t d = InTextOrder(x ^ y);
            return std::min(n, i + static_cast<std::size_t>(std::countl_zero(d)) / 8);
        }
    }
    return n;
}

// CompareIgnoringCase, eight bytes at a time.
int CompareFolded(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; i += 8) {
        // Past the shorter text's end both words hold only the longer
        // one's bytes or zeros: a difference there puts the shorter first.
        std::uint64_t x = LoadWord(a.data() + i, a.size() - i);
        std::uint64_t y = LoadWord(b.data() + i, b.size() - i);
        if (x != y) {
            x = InTextOrder(FoldedWord(x));
            y = InTextOrder(FoldedWord(y));
            if (x != y) {
                return x < y ? -1 : 1;
            }
        }
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

struct Keyed {
    std::uint64_t key;  // KeyAt(text, depth of the run it is in)
    const char* data;   // the text, kept here so a pass reads no other array
    std::uint32_t size;
    std::uint32_t id;
    std::string_view text() const { return {data, size}; }
};

// A run of items [begin, end) whose texts are folded-equal before `depth`.
struct Run {
    std::size_t begin;
    std::size_t end;
    std::size_t depth;
    bool keyed;       // the items' keys are those of `depth`
    unsigned budget;  // partitions left at this depth before a plain sort
};

unsigned BudgetFor(std::size_t n) {
    unsigned levels = 0;
    while (n > 1) {
        n >>= 1;
        ++levels;
    }
    return 2 * levels + 4;
}

// The long runs of one sort, open to every thread that sorts: a thread
// takes one, sorts it with a stack of its own for the short runs it splits
// into, and puts the long ones here. So a thread that is held up (the
// machine is busy) holds up no more than a long run's worth of work. The
// sort is over once every thread waits and no run is left.
class RunPool {
public:
    // With no run yet: the first comes by give().
    explicit RunPool(unsigned threads) : threads_(threads) {}

    void give(const Run& run) {
        bool someoneWaits = false;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            runs_.push_back(run);
            someoneWaits = waiting_ > 0;
        }
        if (someoneWaits) {
            wake_.notify_one();
        }
    }

    // Waits for a run; false once there is none left anywhere.
    bool take(Run& run) {
        std::unique_lock<std::mutex> lock(mutex_);
        ++waiting_;
        for (;;) {
            if (!runs_.empty()) {
                run = runs_.back();
                runs_.pop_back();
                --waiting_;
                return true;
            }
            if (waiting_ >= threads_) {
                wake_.notify_all();
                return false;
            }
            wake_.wait(lock);
        }
    }

    // A thread that stops early (it failed, or never started) no longer
    // counts: the others then do not wait for it.
    void leave() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            --threads_;
        }
        wake_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    unsigned threads_;
    std::size_t waiting_ = 0;
    std::vector<Run> runs_;
};

// Multikey quicksort on seven folded bytes at a time, the keys kept beside
// the ids, so that a partition reads one small array in order and the
// scattered texts are read once per seven bytes of the prefix that tells a
// text from its neighbours. first[i] records that items[i] differs from
// items[i - 1] when folded.
class Sorter {
public:
    Sorter(Keyed* items, unsigned char* first, RunPool& pool)
        : items_(items), first_(first), pool_(pool) {}

    // Sorts the runs the pool hands out until none is left.
    void work() {
        Run run;
        while (pool_.take(run)) {
            sort(run);
        }
    }

private:
    void sort(Run root) {
        std::vector<Run> runs{root};
        while (!runs.empty()) {
            Run run = runs.back();
            runs.pop_back();
            const std::size_t n = run.end - run.begin;
            if (n <= 1) {
                continue;
            }
            if (!run.keyed && !refill(run)) {
                continue;  // all its texts are equal
            }
            if (n <= kSmallRun) {
                sortByComparing(run);
            } else if (run.budget == 0) {
                sortWhole(run);
            } else {
                partition(run, runs);
            }
        }
    }

    static std::string_view tail(const Keyed& k, std::size_t depth) {
        return k.text().substr(std::min<std::size_t>(depth, k.size));
    }

    // Keys for the run at its depth. When all keys are equal, the texts
    // share more: the run moves on past all they share and is keyed there.
    // False when all the texts are equal (nothing left to sort).
    bool refill(Run& run) {
        for (;;) {
            if (!refillAt(run.begin, run.end, run.depth)) {
                return true;
            }
            if ((items_[run.begin].key & 0xff) != kGoesOn) {
                return false;
            }
            run.depth += kStep;
            run.depth += sharedFrom(run.begin, run.end, run.depth);
        }
    }

    // Keys of [begin, end) at `depth`; true when they are all equal.
    bool refillAt(std::size_t begin, std::size_t end, std::size_t depth) {
        // The texts of a run lie scattered in memory: ask for them early.
        std::uint64_t differ = 0;
        for (std::size_t i = begin; i < end; ++i) {
            if (i + kAhead < end) {
                const Keyed& later = items_[i + kAhead];
                __builtin_prefetch(later.data + std::min<std::size_t>(depth, later.size));
            }
            items_[i].key = KeyAt(items_[i].text(), depth);
            differ |= items_[i].key ^ items_[begin].key;
        }
        return differ == 0;
    }

    // How many bytes from `depth` on all texts of [begin, end) share when
    // folded (each at least as long as that).
    std::size_t sharedFrom(std::size_t begin, std::size_t end, std::size_t depth) const {
        const std::string_view first = tail(items_[begin], depth);
        std::size_t shared = first.size();
        for (std::size_t i = begin + 1; i < end && shared > 0; ++i) {
            if (i + kAhead < end) {
                const Keyed& later = items_[i + kAhead];
                __builtin_prefetch(later.data + std::min<std::size_t>(depth, later.size));
            }
            shared = FoldedCommonPrefix(first, tail(items_[i], depth), shared);
        }
        return shared;
    }

    // Splits the run by its pivot's key into smaller, equal and greater keys.
    // A long run goes to the pool, a short one on this thread's stack.
    void push(const Run& run, std::vector<Run>& runs) {
        if (run.end - run.begin >= kShareFrom) {
            pool_.give(run);
        } else if (run.end - run.begin > 1) {
            runs.push_back(run);
        }
    }

    void partition(const Run& run, std::vector<Run>& runs) {
        Keyed* const a = items_ + run.begin;
        const std::size_t n = run.end - run.begin;
        const std::uint64_t pivot = PivotKey(a, n);
        std::size_t lt = 0;
        std::size_t i = 0;
        std::size_t gt = n;
        while (i < gt) {
            const std::uint64_t k = a[i].key;
            if (k < pivot) {
                std::swap(a[lt++], a[i++]);
            } else if (k > pivot) {
                std::swap(a[i], a[--gt]);
            } else {
                ++i;
            }
        }
        const std::size_t eqBegin = run.begin + lt;
        const std::size_t eqEnd = run.begin + gt;
        if (eqBegin > run.begin) {
            first_[eqBegin] = 1;
        }
        if (eqEnd < run.end) {
            first_[eqEnd] = 1;
        }
        const unsigned budget = run.budget - 1;
        push({run.begin, eqBegin, run.depth, true, budget}, runs);
        push({eqEnd, run.end, run.depth, true, budget}, runs);
        // Equal keys of texts that end inside them: equal texts.
        if ((pivot & 0xff) == kGoesOn) {
            push({eqBegin, eqEnd, run.depth + kStep, false, BudgetFor(eqEnd - eqBegin)}, runs);
        }
    }

    static std::uint64_t PivotKey(const Keyed* a, std::size_t n) {
        auto median = [](std::uint64_t x, std::uint64_t y, std::uint64_t z) {
            return std::max(std::min(x, y), std::min(std::max(x, y), z));
        };
        if (n < 64) {
            return median(a[0].key, a[n / 2].key, a[n - 1].key);
        }
        const std::size_t s = n / 8;
        return median(median(a[0].key, a[s].key, a[2 * s].key),
                      median(a[3 * s].key, a[4 * s].key, a[5 * s].key),
                      median(a[6 * s].key, a[7 * s].key, a[n - 1].key));
    }

    // Insertion sort on the keys, the texts compared past them only where
    // keys tie. Keys must be those of the run's depth.
    void sortByComparing(const Run& run) {
        const std::size_t next = run.depth + kStep;
        auto compare = [&](const Keyed& a, const Keyed& b) {
            if (a.key != b.key) {
                return a.key < b.key ? -1 : 1;
            }
            if ((a.key & 0xff) != kGoesOn) {
                return 0;
            }
            return CompareFolded(tail(a, next), tail(b, next));
        };
        Keyed* const begin = items_ + run.begin;
        Keyed* const end = items_ + run.end;
        // Ties read the texts past the keys: ask for those bytes of all at once.
        for (Keyed* k = begin; k < end; ++k) {
            __builtin_prefetch(k->data + std::min<std::size_t>(next, k->size));
        }
        for (Keyed* k = begin + 1; k < end; ++k) {
            const Keyed moving = *k;
            Keyed* at = k;
            while (at > begin && compare(moving, at[-1]) < 0) {
                *at = at[-1];
                --at;
            }
            *at = moving;
        }
        for (Keyed* k = begin + 1; k < end; ++k) {
            first_[static_cast<std::size_t>(k - items_)] = compare(k[-1], k[0]) != 0 ? 1 : 0;
        }
    }

    // Partitions have gone badly too often (keys laid out against the
    // pivot choice): a sort with a bound on its comparisons takes over.
    void sortWhole(const Run& run) {
        const std::size_t depth = run.depth;
        auto compare = [&](const Keyed& a, const Keyed& b) {
            return CompareFolded(tail(a, depth), tail(b, depth));
        };
        Keyed* const begin = items_ + run.begin;
        Keyed* const end = items_ + run.end;
        std::sort(begin, end, [&](const Keyed& a, const Keyed& b) { return compare(a, b) < 0; });
        for (Keyed* k = begin + 1; k < end; ++k) {
            first_[static_cast<std::size_t>(k - items_)] = compare(k[-1], k[0]) != 0 ? 1 : 0;
        }
    }

    Keyed* const items_;
    unsigned char* const first_;
    RunPool& pool_;
};

// How many leading bytes all texts share when folded. The pass also asks
// for the rest of every text: the texts mostly lie in the order given, so
// the memory streams them in now, and the sort's scattered reads later find
// them in the cache rather than each waiting on the memory.
std::size_t CommonFoldedPrefix(const std::vector<std::string_view>& texts) {
    std::size_t skip = texts[0].size();
    for (std::size_t id = 1; id < texts.size(); ++id) {
        const std::string_view t = texts[id];
        for (std::size_t at = 64; at < t.size(); at += 64) {
            __builtin_prefetch(t.data() + at);
        }
        if (t.size() > 1) {
            __builtin_prefetch(t.data() + t.size() - 1);  // a line the steps may miss
        }
        if (skip > 0) {
            skip = FoldedCommonPrefix(texts[0], t, skip);
        }
    }
    return skip;
}

// The ranks by sorting the ids with whole comparisons: for texts too long
// for the keyed sort's 32-bit sizes.
std::vector<std::uint32_t> RanksByComparing(const std::vector<std::string_view>& texts) {
    std::vector<std::uint32_t> ids(texts.size());
    for (std::size_t id = 0; id < ids.size(); ++id) {
        ids[id] = static_cast<std::uint32_t>(id);
    }
    std::sort(ids.begin(), ids.end(), [&](std::uint32_t a, std::uint32_t b) {
        return CompareIgnoringCase(texts[a], texts[b]) < 0;
    });
    std::vector<std::uint32_t> rank(texts.size());
    std::uint32_t next = 0;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (i > 0 && CompareIgnoringCase(texts[ids[i - 1]], texts[ids[i]]) != 0) {
            ++next;
        }
        rank[ids[i]] = next;
    }
    return rank;
}

}  // namespace

std::vector<std::uint32_t> FoldedRanks(const std::vector<std::string_view>& texts,
                                       const std::function<void()>& alongside) {
    const std::size_t count = texts.size();
    bool keyed = count > 0;
    for (const std::string_view t : texts) {
        keyed = keyed && t.size() <= UINT32_MAX;
    }
    if (!keyed) {
        if (alongside) {
            alongside();
        }
        return RanksByComparing(texts);
    }
    // Left unset until prepare() fills them: they are written once, on one thread.
    const std::unique_ptr<Keyed[]> items(new Keyed[count]);
    std::vector<unsigned char> first(count, 0);
    const bool two = count >= kTwoThreadsFrom && std::thread::hardware_concurrency() >= 2;
    RunPool pool(two ? 2 : 1);
    // The items and the prefix all texts share read every text once; on
    // two threads the helper does that while this thread works alongside.
    auto prepare = [&] {
        for (std::size_t id = 0; id < count; ++id) {
            items[id] = {0, texts[id].data(), static_cast<std::uint32_t>(texts[id].size()),
                         static_cast<std::uint32_t>(id)};
        }
        pool.give({0, count, CommonFoldedPrefix(texts), false, BudgetFor(count)});
    };
    // A failure on either thread is passed on once both are done with the
    // arrays they share.
    std::exception_ptr helperFailed;
    std::thread helper;
    bool helperPrepares = false;
    if (two) {
        try {
            helper = StartOffThisCore([&] {
                try {
                    prepare();
                    Sorter(items.get(), first.data(), pool).work();
                } catch (...) {
                    helperFailed = std::current_exception();
                    pool.leave();
                }
            });
            helperPrepares = true;
        } catch (const std::system_error&) {
            pool.leave();  // no second thread: this one sorts alone
        }
    }
    if (!helperPrepares) {
        prepare();
    }
    std::exception_ptr failed;
    if (alongside) {
        try {
            alongside();
        } catch (...) {
            failed = std::current_exception();
        }
    }
    try {
        Sorter(items.get(), first.data(), pool).work();
    } catch (...) {
        if (!failed) {
            failed = std::current_exception();
        }
        pool.leave();
    }
    if (helper.joinable()) {
        helper.join();
    }
    if (!failed) {
        failed = helperFailed;
    }
    if (failed) {
        std::rethrow_exception(failed);
    }
    std::vector<std::uint32_t> rank(count);
    std::uint32_t next = 0;
    for (std::size_t i = 0; i < count; ++i) {
        next += (i > 0 && first[i] != 0) ? 1 : 0;
        rank[items[i].id] = next;
    }
    return rank;
}

}  // namespace tallowby
