// fleet_engine.cpp: runs over many telephones: passes of parallel work with retries, the
// progress line, result lines, the summary, the JSON document and the log.
#include "fleet_engine.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <mutex>
#include <numeric>
#include <thread>

#include "fleet.h"
#include "json_text.h"
#include "progress_bar.h"
#include "targets.h"

using Clock = std::chrono::steady_clock;

struct ByteMeter {
    std::atomic<int64_t> bytes{0};
    std::atomic<int64_t> last_draw_ms{0};
    std::function<void()> redraw;  // called at most every kRedrawMs
};

namespace {

constexpr int64_t kRedrawMs = 100;

struct PhoneRecord {
    std::string address;
    PhoneOutcome outcome;  // of the latest attempt
    int attempts = 0;
    double seconds = 0;
};

struct Run {
    const RunSettings* settings;
    std::vector<PhoneRecord> phones;
    std::mutex lock;  // the counts, the records, the output and the log
    RunCounts counts = {};
    ByteMeter meter;
    FILE* log = nullptr;
    Clock::time_point start = Clock::now();
};

double seconds_since(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

int64_t ms_since(Clock::time_point from) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - from).count();
}

bool is_ok(const PhoneOutcome& outcome) {
    return outcome.result == "OK";
}

// Called with the lock held.
void draw(Run* run) {
    run->counts.bytes = run->meter.bytes.load();
    progress_bar_draw(&run->counts);
}

void print_result(Run* run, const PhoneRecord& phone) {
    if (run->settings->json) {
        return;
    }
    progress_bar_clear();
    const PhoneOutcome& o = phone.outcome;
    // Commands keep their reply word alone; a failed transfer says why.
    if (o.result == "FAIL" && !o.reason.empty()) {
        printf("%s --- FAIL (%s)\n", phone.address.c_str(), o.reason.c_str());
    } else {
        printf("%s --- %s\n", phone.address.c_str(), o.result.c_str());
    }
    fflush(stdout);
}

std::string utc_now() {
    const std::time_t now = std::time(nullptr);
    char text[32];
    // Called with the lock held, so gmtime's shared result is safe.
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&now));
    return text;
}

std::string or_null(const std::string& text) {
    return text.empty() ? "null" : json_quote(text);
}

void log_attempt(Run* run, const PhoneRecord& phone) {
    if (!run->log) {
        return;
    }
    const RunSettings* s = run->settings;
    const PhoneOutcome& o = phone.outcome;
    const std::string& file = o.file.empty() ? s->file : o.file;
    const std::string& sha = o.sha256.empty() ? s->sha256 : o.sha256;
    fprintf(run->log,
            "{\"time\": \"%s\", \"command\": %s, \"address\": %s, \"attempt\": %d, \"file\": %s, "
            "\"sha256\": %s, \"result\": %s, \"reason\": %s, \"bytes\": %lld}\n",
            utc_now().c_str(), json_quote(s->command).c_str(), json_quote(phone.address).c_str(),
            phone.attempts, or_null(file).c_str(), or_null(sha).c_str(),
            json_quote(o.result).c_str(), or_null(o.reason).c_str(),
            static_cast<long long>(o.bytes));
    // Each line at once: a run that is cut short still leaves its record.
    fflush(run->log);
}

// One attempt at a phone has ended; final when no further attempt will follow.
void record(Run* run, size_t index, const PhoneOutcome& outcome, double seconds, bool final) {
    std::lock_guard<std::mutex> hold(run->lock);
    PhoneRecord& phone = run->phones[index];
    phone.outcome = outcome;
    ++phone.attempts;
    phone.seconds += seconds;
    log_attempt(run, phone);
    if (final) {
        ++run->counts.done;
        run->counts.failed += is_ok(outcome) ? 0 : 1;
        print_result(run, phone);
    }
}

void print_json(Run* run) {
    printf("{\"command\": %s, \"seconds\": %.3f, \"results\": [",
           json_quote(run->settings->command).c_str(), seconds_since(run->start));
    for (size_t i = 0; i < run->phones.size(); ++i) {
        const PhoneRecord& p = run->phones[i];
        printf(
            "%s\n  {\"address\": %s, \"result\": %s, \"reason\": %s, \"attempts\": %d, "
            "\"seconds\": %.3f, \"bytes\": %lld}",
            i > 0 ? "," : "", json_quote(p.address).c_str(), json_quote(p.outcome.result).c_str(),
            or_null(p.outcome.reason).c_str(), p.attempts, p.seconds,
            static_cast<long long>(p.outcome.bytes));
    }
    printf("\n]}\n");
    fflush(stdout);
}

// Opens the log, prints the dry run when it is one. false when nothing is to be done.
bool start_run(Run* run, const std::vector<std::string>& targets) {
    const RunSettings* s = run->settings;
    for (const std::string& address : targets) {
        run->phones.push_back(PhoneRecord{address, PhoneOutcome{}, 0, 0});
    }
    run->counts.total = static_cast<int>(targets.size());
    if (s->dry_run) {
        for (PhoneRecord& p : run->phones) {
            p.outcome.result = "DRY RUN";
            p.outcome.reason = "would send " + s->what;
            if (!s->json) {
                printf("%s --- would send %s\n", p.address.c_str(), s->what.c_str());
            }
        }
        return false;
    }
    if (!s->log.empty()) {
        run->log = fopen(s->log.c_str(), "a");
    }
    run->meter.redraw = [run] {
        std::unique_lock<std::mutex> hold(run->lock, std::try_to_lock);
        if (hold.owns_lock()) {
            draw(run);
        }
    };
    return true;
}

int finish_run(Run* run) {
    progress_bar_clear();
    if (run->log) {
        fclose(run->log);
    }
    if (run->settings->json) {
        print_json(run);
    }
    int ok = 0;
    for (const PhoneRecord& p : run->phones) {
        ok += is_ok(p.outcome) ? 1 : 0;
    }
    const int failed = static_cast<int>(run->phones.size()) - ok;
    if (run->settings->dry_run) {
        fprintf(stderr, "kvxctl: dry run: %zu phones, nothing sent\n", run->phones.size());
        return kExitOk;
    }
    fprintf(stderr, "kvxctl: %d OK, %d failed, %.1f s\n", ok, failed, seconds_since(run->start));
    return failed == 0 ? kExitOk : kExitDevice;
}

// The phones to try again after a pass, in list order.
std::vector<size_t> failures(const Run* run, const std::vector<size_t>& tried) {
    std::vector<size_t> again;
    for (const size_t i : tried) {
        if (!is_ok(run->phones[i].outcome)) {
            again.push_back(i);
        }
    }
    return again;
}

void run_pass(Run* run, const std::vector<size_t>& todo, bool last_pass,
              const PhoneAction& action) {
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t n; (n = next++) < todo.size();) {
            const size_t index = todo[n];
            {
                std::lock_guard<std::mutex> hold(run->lock);
                ++run->counts.running;
                draw(run);
            }
            const Clock::time_point began = Clock::now();
            const PhoneOutcome outcome = action(run->phones[index].address, &run->meter);
            const bool final = last_pass || is_ok(outcome);
            record(run, index, outcome, seconds_since(began), final);
            std::lock_guard<std::mutex> hold(run->lock);
            --run->counts.running;
            draw(run);
        }
    };
    const size_t parallel = static_cast<size_t>(run->settings->parallel);
    const size_t helpers = (todo.size() < parallel ? todo.size() : parallel) - 1;
    std::vector<std::thread> threads;
    for (size_t i = 0; i < helpers; ++i) {
        threads.emplace_back(work);
    }
    work();  // this thread is one of the workers: one phone at a time needs no other
    for (std::thread& thread : threads) {
        thread.join();
    }
}

long parse_count(const char* option, const char* text, long low, long high) {
    char* end = nullptr;
    const long value = strtol(text, &end, 10);
    if (!*text || *end || value < low || value > high) {
        fprintf(stderr, "kvxctl: --%s %s: give a number from %ld to %ld\n", option, text, low,
                high);
        return -1;
    }
    return value;
}

}  // namespace

const CliOption kRunOptions[kRunOptionCount] = {{"parallel", true},    {"retry", true},
                                                {"json", false},       {"log", true},
                                                {"only-failed", true}, {"dry-run", false}};

const char* run_options_usage(bool with_parallel) {
    static const char kParallel[] =
        "  --parallel N       up to N transfers at once, each to another telephone (default 8,\n"
        "                     at most 64); --parallel 1 sends one file after the other from UDP\n"
        "                     port 70, more than 1 sends each from a port the system chooses,\n"
        "                     so no privileged port is needed\n";
    static const char kCommon[] =
        "  --retry N          try the telephones that failed again, up to N more times each\n"
        "  --json             print one JSON document instead of the result lines:\n"
        "                     {\"command\", \"seconds\", \"results\": [{\"address\", \"result\",\n"
        "                     \"reason\", \"attempts\", \"seconds\", \"bytes\"}, ...]}\n"
        "  --log FILE         append one JSON line per telephone and attempt to FILE (time,\n"
        "                     command, address, file and its SHA-256, result, reason)\n"
        "  --only-failed FILE the targets are the telephones whose latest result for this\n"
        "                     command in the log FILE is not OK (instead of --all or addresses)\n"
        "  --dry-run          find the targets and check the input, print what would be sent to\n"
        "                     whom, and send nothing but the discovery\n";
    static std::string both = std::string(kParallel) + kCommon;
    return with_parallel ? both.c_str() : kCommon;
}

void meter_add(ByteMeter* meter, int64_t bytes) {
    if (!meter) {
        return;
    }
    meter->bytes += bytes;
    if (!progress_bar_shown() || !meter->redraw) {
        return;
    }
    static const Clock::time_point epoch = Clock::now();
    const int64_t now = ms_since(epoch);
    int64_t last = meter->last_draw_ms.load();
    if (now - last >= kRedrawMs && meter->last_draw_ms.compare_exchange_strong(last, now)) {
        meter->redraw();
    }
}

int read_run_options(const ParsedArgs* args, int first, RunSettings* out) {
    const char* const* v = args->values + first;
    if (v[kOptParallel]) {
        const long n = parse_count("parallel", v[kOptParallel], 1, kParallelMax);
        if (n < 0) {
            return -1;
        }
        out->parallel = static_cast<int>(n);
    }
    if (v[kOptRetry]) {
        const long n = parse_count("retry", v[kOptRetry], 0, kRetryMax);
        if (n < 0) {
            return -1;
        }
        out->retry = static_cast<int>(n);
    }
    out->json = v[kOptJson] != nullptr;
    out->dry_run = v[kOptDryRun] != nullptr;
    out->log = v[kOptLog] ? v[kOptLog] : "";
    out->only_failed = v[kOptOnlyFailed] ? v[kOptOnlyFailed] : "";
    if (!out->log.empty()) {
        // Found out now, before anything is sent, rather than after the run.
        FILE* log = fopen(out->log.c_str(), "a");
        if (!log) {
            perror(("kvxctl: cannot write the log " + out->log).c_str());
            return -1;
        }
        fclose(log);
    }
    return 0;
}

int only_failed_targets(const RunSettings* run, std::vector<std::string>* out) {
    std::ifstream in(run->only_failed);
    if (!in) {
        fprintf(stderr, "kvxctl: cannot read the log %s\n", run->only_failed.c_str());
        return -1;
    }
    std::vector<std::string> order;
    std::map<std::string, std::string> latest;
    for (std::string line; std::getline(in, line);) {
        std::string command;
        std::string address;
        std::string result;
        // Lines of other writers or cut short are passed over.
        if (!json_string_field(line, "command", &command) || command != run->command ||
            !json_string_field(line, "address", &address) ||
            !json_string_field(line, "result", &result) || !is_device_address(address.c_str())) {
            continue;
        }
        if (latest.find(address) == latest.end()) {
            order.push_back(address);
        }
        latest[address] = result;
    }
    out->clear();
    for (const std::string& address : order) {
        if (latest[address] != "OK") {
            out->push_back(address);
        }
    }
    return 0;
}

int fleet_run_each(const RunSettings* settings, const std::vector<std::string>& targets,
                   const PhoneAction& action) {
    Run run;
    run.settings = settings;
    if (start_run(&run, targets)) {
        std::vector<size_t> todo(targets.size());
        std::iota(todo.begin(), todo.end(), size_t{0});
        for (int pass = 0; !todo.empty(); ++pass) {
            run_pass(&run, todo, pass == settings->retry, action);
            todo = pass == settings->retry ? std::vector<size_t>{} : failures(&run, todo);
        }
    }
    return finish_run(&run);
}

int fleet_run_batch(const RunSettings* settings, const std::vector<std::string>& targets,
                    const BatchAction& action) {
    Run run;
    run.settings = settings;
    if (start_run(&run, targets)) {
        std::vector<size_t> todo(targets.size());
        std::iota(todo.begin(), todo.end(), size_t{0});
        for (int pass = 0; !todo.empty(); ++pass) {
            std::vector<std::string> addresses;
            addresses.reserve(todo.size());
            for (const size_t i : todo) {
                addresses.push_back(run.phones[i].address);
            }
            const Clock::time_point began = Clock::now();
            const std::vector<PhoneOutcome> outcomes = action(addresses);
            const double seconds = seconds_since(began);
            for (size_t n = 0; n < todo.size(); ++n) {
                const PhoneOutcome outcome =
                    n < outcomes.size() ? outcomes[n] : PhoneOutcome{"no reply", "", 0, "", ""};
                record(&run, todo[n], outcome, seconds, pass == settings->retry || is_ok(outcome));
            }
            todo = pass == settings->retry ? std::vector<size_t>{} : failures(&run, todo);
        }
    }
    return finish_run(&run);
}
