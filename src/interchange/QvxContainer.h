#pragma once
// The compressed container of a .qvx file: the length of the XML text as a signed
// 64-bit little-endian number, then a zlib stream (level 9) of exactly that text.

#include <QByteArray>
#include <QByteArrayView>

class QIODevice;

namespace quillpad {

// Writes the length and the compressed text to the device. Raises AppError when the
// device refuses the data.
void WriteQvxContainer(QIODevice &out, QByteArrayView xml);

// Reads the container from the device and gives exactly the stored number of bytes.
// Raises AppError for a short header, a negative length, a damaged or truncated
// stream, a stream that inflates to fewer bytes than stored, or (for a file) a stored
// length beyond 64 times the compressed data and beyond 16 MiB. Memory grows with the
// inflated data, never with what the header claims.
QByteArray ReadQvxContainer(QIODevice &in);

}  // namespace quillpad
