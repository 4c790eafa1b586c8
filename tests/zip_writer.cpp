#include "tests/zip_writer.h"

#include <zlib.h>

#include <stdexcept>

namespace {

void Put16(AnsiString& Out, uint32_t V) {
  Out += static_cast<char>(V & 0xFF);
  Out += static_cast<char>(V >> 8 & 0xFF);
}
void Put32(AnsiString& Out, uint32_t V) {
  Put16(Out, V & 0xFFFF);
  Put16(Out, V >> 16);
}

} // namespace

AnsiString Deflated(const AnsiString& Data) {
  z_stream stream{};
  if (deflateInit2(&stream, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2");
  AnsiString out(deflateBound(&stream, static_cast<uLong>(Data.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(Data.data()));
  stream.avail_in = static_cast<uInt>(Data.size());
  stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
  stream.avail_out = static_cast<uInt>(out.size());
  const int status = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (status != Z_STREAM_END) throw std::runtime_error("deflate");
  return out;
}

AnsiString DeflatedRepeats(const AnsiString& Block, size_t Count) {
  // A full flush ends the block on a byte and lets nothing after it refer back, so the same bytes
  // may follow themselves; "03 00" is an empty last block.
  z_stream stream{};
  if (deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2");
  AnsiString piece(deflateBound(&stream, static_cast<uLong>(Block.size())) + 16, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(Block.data()));
  stream.avail_in = static_cast<uInt>(Block.size());
  stream.next_out = reinterpret_cast<Bytef*>(&piece[0]);
  stream.avail_out = static_cast<uInt>(piece.size());
  const int status = deflate(&stream, Z_FULL_FLUSH);
  piece.resize(stream.total_out);
  deflateEnd(&stream);
  if (status != Z_OK || stream.avail_in != 0) throw std::runtime_error("deflate");
  AnsiString out;
  out.reserve(piece.size() * Count + 2);
  for (size_t i = 0; i < Count; ++i)
    out += piece;
  return out + AnsiString("\x03\x00", 2);
}

uint32_t Crc32(const AnsiString& Data) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(Data.data()), static_cast<uInt>(Data.size())));
}

TZipWriter& TZipWriter::Add(const AnsiString& Name, const AnsiString& Data, bool Deflate) {
  return AddRaw(Name, Deflate ? Deflated(Data) : Data, Deflate ? 8 : 0, Crc32(Data), Data.size());
}

TZipWriter& TZipWriter::AddRaw(const AnsiString& Name, const AnsiString& Compressed,
                               uint16_t Method, uint32_t Crc, uint64_t Size) {
  FEntries.push_back({Name, Compressed, Method, Crc, Size, FEntries.size()});
  return *this;
}

TZipWriter& TZipWriter::AddAlias(const AnsiString& Name, size_t Index) {
  TEntry alias = FEntries.at(Index);
  alias.Name = Name;
  FEntries.push_back(alias);
  return *this;
}

AnsiString TZipWriter::Bytes() const {
  AnsiString out;
  std::vector<uint32_t> offsets(FEntries.size());
  for (size_t i = 0; i < FEntries.size(); ++i) {
    const TEntry& e = FEntries[i];
    if (e.LocalOf != i) continue;
    offsets[i] = static_cast<uint32_t>(out.size());
    Put32(out, 0x04034b50);
    Put16(out, 20);
    Put16(out, 0);
    Put16(out, e.Method);
    Put32(out, 0);
    Put32(out, e.Crc);
    Put32(out, static_cast<uint32_t>(e.Compressed.size()));
    Put32(out, static_cast<uint32_t>(e.Size));
    Put16(out, static_cast<uint32_t>(e.Name.size()));
    Put16(out, 0);
    out += e.Name;
    out += e.Compressed;
  }
  const uint32_t directory = static_cast<uint32_t>(out.size());
  for (const TEntry& e : FEntries) {
    Put32(out, 0x02014b50);
    Put16(out, 20);
    Put16(out, 20);
    Put16(out, 0);
    Put16(out, e.Method);
    Put32(out, 0);
    Put32(out, e.Crc);
    Put32(out, static_cast<uint32_t>(e.Compressed.size()));
    Put32(out, static_cast<uint32_t>(e.Size));
    Put16(out, static_cast<uint32_t>(e.Name.size()));
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, 0);
    Put32(out, 0);
    Put32(out, offsets[e.LocalOf]);
    out += e.Name;
  }
  const uint32_t size = static_cast<uint32_t>(out.size()) - directory;
  Put32(out, 0x06054b50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<uint32_t>(FEntries.size()));
  Put16(out, static_cast<uint32_t>(FEntries.size()));
  Put32(out, size);
  Put32(out, directory);
  Put16(out, 0);
  return out;
}
