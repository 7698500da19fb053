#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

// The readers under test take files: each input is written to one file in a
// temporary folder of the fuzzing process, replaced at every run.
namespace FuzzFile {
QString write(const uint8_t *data, size_t size);
}
