// page_fixture.cpp: the page tests' pages and recording transfer worker.
#include "page_fixture.h"

std::vector<RecordedJob> recorded_jobs;
bool job_pending = false;

namespace {

int submit(PageWindow page, CompletionCallback done, const char* device, const char* first,
           const char* second) {
    if (job_pending) {
        return -1;
    }
    recorded_jobs.push_back({page, done, device, first, second});
    job_pending = true;
    return 0;
}

}  // namespace

int submit_upload(PageWindow page, CompletionCallback done, const char* device, const char* local,
                  const char* remote) {
    return submit(page, done, device, local, remote);
}

int submit_download(PageWindow page, CompletionCallback done, const char* device,
                    const char* remote, const char* local) {
    return submit(page, done, device, remote, local);
}

void finish_job(int result) {
    job_pending = false;
    recorded_jobs.back().done(recorded_jobs.back().page, result);
}

std::string bitmap(size_t offset, int64_t value, int bytes, size_t length) {
    std::string bmp(1086, '\0');
    const struct {
        size_t offset;
        int64_t value;
        int bytes;
    } fields[] = {{0, 0x4D42, 2}, {2, 1086, 4}, {10, 62, 4}, {14, 40, 4},           {18, 128, 4},
                  {22, 64, 4},    {26, 1, 2},   {28, 1, 2},  {offset, value, bytes}};
    for (const auto& f : fields) {
        for (int i = 0; i < f.bytes; ++i) {
            bmp[f.offset + static_cast<size_t>(i)] = static_cast<char>(f.value >> (8 * i));
        }
    }
    return bmp.substr(0, length);
}

std::string write_file(const std::string& name, const std::string& bytes) {
    std::ofstream(testing::TempDir() + name, std::ios::binary) << bytes;
    return testing::TempDir() + name;
}

Texts entries(PageWindow page, int list_id) {
    Texts out;
    for (int i = 0; i < ui_list_count(page, list_id); ++i) {
        char text[128];
        ui_list_get(page, list_id, i, text, sizeof text);
        out.emplace_back(text);
    }
    return out;
}

Texts messages() {
    Texts out;
    HeadlessMessage message;
    for (int i = 0; headless_message_get(i, &message) == 0; ++i) {
        out.push_back(std::string(message.caption) + ": " + message.text);
    }
    return out;
}

std::string shown_text(PageWindow page, int id) {
    char text[300];
    ui_get_text(page, id, text, sizeof text);
    return text;
}

void PageTest::SetUp() {
    clear_busy();
    recorded_jobs.clear();
    job_pending = false;
    headless_messages_clear();
    master = headless_page_create();
    mp3_page_init(master);
    mp3_page_command(master, IDC_MP3_HOLD, 0);  // the tone lives as long as the program
    mp3_page_activate(master);
}

void PageTest::TearDown() {
    headless_page_destroy(opened);
    headless_page_destroy(master);
}

PageWindow PageTest::open(void (*init)(PageWindow), void (*activate)(PageWindow),
                          const Texts& list) {
    opened = headless_page_create();
    init(opened);
    fill_master(list);
    activate(opened);
    return opened;
}

void PageTest::fill_master(const Texts& addresses) const {
    for (const std::string& address : addresses) {
        ui_list_add(master, IDC_MP3_LIST, address.c_str());
    }
}
