// A fresh folder per test, every table closed afterwards, and cheap key derivation so that
// protection tests run in milliseconds.
#pragma once

#include <gtest/gtest.h>
#include <sodium.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "runtime/store/store.h"
#include "runtime/store/store_testing.h"

namespace store_test {

namespace st = runtime::store;

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        st::testing::setKeyDerivationCost(1, 8192);
        st::testing::setKeyDerivationMaximum(4, 1 << 20);  // a scribbled header must not cost seconds
        char pattern[] = "/tmp/qb-store-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        st::closeAllDatabases();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    // Contacts-like table: three texts.
    static std::vector<st::FieldDef> contactFields() {
        return {{"姓名", st::FieldType::Text, 10},
                {"电话", st::FieldType::Text, 15},
                {"备注", st::FieldType::Text, 100}};
    }
    // One field of every type.
    static std::vector<st::FieldDef> mixedFields() {
        return {{"日期", st::FieldType::DateTime, 0},
                {"数", st::FieldType::Integer, 0},
                {"名", st::FieldType::Text, 6},
                {"日志", st::FieldType::Memo, 0}};
    }
    // Creates and opens a table, making it current.
    void openNew(const std::string& name, const std::vector<st::FieldDef>& fields,
                 std::string_view password = {}) {
        ASSERT_TRUE(st::createTable(path(name), fields, password)) << st::lastError();
        ASSERT_TRUE(st::openDatabase(
            path(name), password.empty() ? std::nullopt : std::optional<std::string_view>(password)))
            << st::lastError();
    }

    std::string dir_;
};

inline st::Value text(const char* s) { return st::Value{std::string(s)}; }
inline st::Value date(double d) { return st::Value{runtime::DateTime{d}}; }
inline st::Value num(int32_t i) { return st::Value{i}; }

}  // namespace store_test
