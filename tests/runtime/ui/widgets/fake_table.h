// An in-memory store::Table for the view tests that should not depend on files: records as
// value rows, observers called after each change as the store calls them.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "runtime/store/store.h"

class FakeTable : public runtime::store::Table {
public:
    FakeTable(std::string path, std::vector<runtime::store::FieldDef> fields)
        : path_(std::move(path)), name_(path_), fields_(std::move(fields)) {}

    const std::string& storeName() const override { return name_; }
    const std::string& path() const override { return path_; }
    const std::vector<runtime::store::FieldDef>& fields() const override { return fields_; }
    int recordCount() const override { return static_cast<int>(records.size()); }
    runtime::store::Value read(int number, int field) const override {
        if (number < 1 || number > recordCount() || field < 1 || field > static_cast<int>(fields_.size()))
            return {};
        return records[static_cast<size_t>(number - 1)][static_cast<size_t>(field - 1)];
    }
    bool write(int number, int field, const runtime::store::Value& value) override {
        if (number < 1 || number > recordCount() || field < 1 || field > static_cast<int>(fields_.size()))
            return false;
        records[static_cast<size_t>(number - 1)][static_cast<size_t>(field - 1)] = value;
        ++writes;
        changed();
        return true;
    }
    bool isDeleted(int) const override { return false; }
    int addObserver(std::function<void()> f) override {
        observers_[++nextId_] = std::move(f);
        return nextId_;
    }
    void removeObserver(int id) override { observers_.erase(id); }

    void add(std::vector<runtime::store::Value> values) {
        values.resize(fields_.size());
        records.push_back(std::move(values));
        changed();
    }
    void removeFirst() {
        records.erase(records.begin());
        changed();
    }
    void changed() {
        auto copy = observers_;
        for (auto& [id, f] : copy) f();
    }
    size_t observerCount() const { return observers_.size(); }

    std::vector<std::vector<runtime::store::Value>> records;
    int writes = 0;

private:
    std::string path_, name_;
    std::vector<runtime::store::FieldDef> fields_;
    std::map<int, std::function<void()>> observers_;
    int nextId_ = 0;
};
