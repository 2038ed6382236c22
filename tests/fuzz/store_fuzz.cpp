// libFuzzer target: mutated bytes as a table file and its memo companion, opened and read in
// full. Any crash, sanitizer report or hang is a bug; a refusal to open is the expected answer.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz_input.h"
#include "runtime/store/store.h"
#include "runtime/store/store_testing.h"

namespace st = runtime::store;

namespace {

std::string folder;

void writeAll(const std::string& path, std::string_view bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    st::testing::setKeyDerivationCost(1, 8192);
    st::testing::setKeyDerivationMaximum(2, 65536);  // keeps each input in the microseconds
    folder = "/tmp/qb-store-fuzz-" + std::to_string(::getpid());
    std::filesystem::create_directories(folder);
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz_input::Parts parts = fuzz_input::split(data, size);
    const std::string edb = folder + "/t.edb", edt = folder + "/t.edt";
    for (const char* name : {"/t.edb", "/t.edt", "/t.edb-journal", "/t.edt-journal"}) {
        std::filesystem::remove(folder + name);
    }
    writeAll(edb, parts.edb);
    if (parts.flags & fuzz_input::kWithCompanion) writeAll(edt, parts.edt);

    (void)st::isDatabaseEncrypted(edb);
    const bool withPassword = parts.flags & fuzz_input::kWithPassword;
    if (st::openDatabase(edb, withPassword ? std::optional<std::string_view>("pw") : std::nullopt)) {
        size_t total = 0;
        st::Table* t = st::currentTable();
        for (int n = 1; n <= st::getRecordCount(); ++n) {
            st::goToRecord(n);
            for (int f = 1; f <= st::getFieldCount(); ++f) {
                total += st::valueText(st::readField(f)).size();
                total += st::valueText(t->read(n, f)).size();
                total += st::valueText(st::readField(st::getFieldName(f))).size();
            }
            (void)t->isDeleted(n);
        }
        // A write and a pack on what opened must answer, not crash.
        if (st::getRecordCount() > 0) {
            st::goToRecord(1);
            st::writeField(st::getFieldName(1), st::Value{});
            st::deleteRecords();
            st::packDatabase();
        }
        if (total == static_cast<size_t>(-1)) std::abort();
    }
    st::closeAllDatabases();
    return 0;
}
