// Writes the fuzz seed corpus into the folder given: valid tables, empty and filled, plain and
// protected, with bound and blank companions, each packed into the fuzz input format.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/stores.h"
#include "fuzz_input.h"
#include "runtime/store/store.h"
#include "runtime/store/store_testing.h"

namespace st = runtime::store;

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void emit(const std::string& corpus, const std::string& name, const std::string& dir,
          const std::string& store, uint8_t flags) {
    const std::string edt = dir + "/" + store + ".edt";
    if (std::filesystem::exists(edt)) flags |= fuzz_input::kWithCompanion;
    std::ofstream(corpus + "/seed-" + name, std::ios::binary)
        << fuzz_input::join(flags, slurp(dir + "/" + store + ".edb"), slurp(edt));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: store_fuzz_seeds <corpus folder>\n");
        return 2;
    }
    st::testing::setKeyDerivationCost(1, 8192);
    const std::string corpus = argv[1];
    const std::string dir = corpus + "/../seed-work";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::filesystem::create_directories(corpus);

    for (const char* f : {"rz35.edb", "rz35.edt", "tx35.edb", "bw35.edb", "bw35.edt", "lxr35.edb"}) {
        core::writeTemplateInto(dir, f);
    }
    emit(corpus, "rz35-template", dir, "rz35", 0);
    emit(corpus, "tx35-template", dir, "tx35", 0);

    st::openDatabase(dir + "/rz35.edb");
    for (int i = 0; i < 6; ++i)
        st::addRecord({runtime::DateTime{45000.0 + i}, std::string("日志 diary ") + std::to_string(i)});
    st::deleteRecords();
    st::openDatabase(dir + "/tx35.edb");
    st::addRecord({runtime::DateTime{45000}, int32_t{3}, std::string("月"), std::string("交房租")});
    st::openDatabase(dir + "/lxr35.edb");
    st::addRecord({std::string("张三"), std::string("13800000000"), std::string("同学")});
    st::addRecord({std::string("李四"), std::string("010-1234"), std::string("")});
    st::openDatabase(dir + "/bw35.edb");
    st::addRecord({std::string("备忘 memo")});
    st::closeAllDatabases();
    emit(corpus, "rz35-filled", dir, "rz35", 0);
    emit(corpus, "tx35-filled", dir, "tx35", 0);
    emit(corpus, "lxr35-filled", dir, "lxr35", 0);
    emit(corpus, "bw35-filled", dir, "bw35", 0);

    for (const char* store : {"rz35", "lxr35"}) {
        st::openDatabase(dir + "/" + store + ".edb");
        st::setDatabasePassword("pw");
    }
    st::closeAllDatabases();
    emit(corpus, "rz35-protected", dir, "rz35", fuzz_input::kWithPassword);
    emit(corpus, "lxr35-protected", dir, "lxr35", fuzz_input::kWithPassword);
    std::filesystem::remove_all(dir);
    return 0;
}
