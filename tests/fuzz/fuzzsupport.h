#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// Shared by the fuzz targets, in the libFuzzer build and in the corpus replay of the test suite.
namespace sonavell::fuzz {

// One folder per process, in memory where possible, removed when the process exits.
const QString &scratchFolder();
bool writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);
QByteArray bytesOf(const std::uint8_t *data, std::size_t size);
// Aborts with the broken promise named, so that the fuzzer records the input.
void check(bool condition, const char *what);

} // namespace sonavell::fuzz
