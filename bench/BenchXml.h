#pragma once
// The backup's XML text and its baseline, shared by the benchmarks of the interchange file.

#include "interchange/QvxContainer.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <zlib.h>

#include <stdexcept>
#include <vector>

namespace quillpad {

namespace BenchXml {

// The XML text inside a .qvx file.
inline QByteArray InflatedXml(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot open the backup");
    return ReadQvxContainer(file);
}

// The baseline of the backup: the same bytes through zlib at level 9, into memory.
inline void CompressLevel9(const QByteArray &xml)
{
    uLongf size = compressBound(static_cast<uLong>(xml.size()));
    std::vector<Bytef> packed(size);
    if (compress2(packed.data(), &size, reinterpret_cast<const Bytef *>(xml.constData()),
                  static_cast<uLong>(xml.size()), Z_BEST_COMPRESSION) != Z_OK)
        throw std::runtime_error("compress2");
}

}  // namespace BenchXml

}  // namespace quillpad
