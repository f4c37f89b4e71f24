#pragma once

#include <string>
#include <vector>

// Reading the record files the simulated platform writes: one line per event, fields separated
// by tabs, the first field naming the event (see tests/fixtures/common/record_file.h).
namespace qvtest {

using Record = std::vector<std::wstring>;

// Every record of the file, fields unescaped. Empty when the file does not exist.
std::vector<Record> ReadRecords(const std::wstring& path);

// The records whose first field is `kind`, in file order.
std::vector<Record> RecordsOfKind(const std::wstring& path, const std::wstring& kind);

// Polls the file until a record of `kind` appears; the first such record, or an empty one.
Record WaitForRecord(const std::wstring& path, const std::wstring& kind,
                     unsigned timeoutMs = 10000);

}  // namespace qvtest
