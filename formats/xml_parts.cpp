#include "formats/xml_parts.h"

#include <expat.h>

#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <new>

#include "formats/workbook_errors.h"
#include "support/side_task.h"

namespace {

// Between a namespace and a local name in expat's expanded names; no name holds it.
constexpr char NamespaceSeparator = '\x01';
constexpr int Piece = 64 << 10;

// The handler's calls from inside expat, which is C: an exception must not cross it, so it is
// kept here and thrown again once the parser has returned.
struct TParse {
  XML_Parser Parser = nullptr;
  TXmlHandler& Handler;
  std::exception_ptr Failure;
  bool Refused = false;

  TParse(TXmlHandler& H, TXmlNames Names) : Handler(H) {
    Parser = Names == TXmlNames::Namespaces ? XML_ParserCreateNS(nullptr, NamespaceSeparator)
                                            : XML_ParserCreate(nullptr);
    if (!Parser) throw std::bad_alloc();
    XML_SetUserData(Parser, this);
    XML_SetElementHandler(Parser, &TParse::Start, &TParse::End);
    XML_SetCharacterDataHandler(Parser, &TParse::Characters);
    XML_SetStartDoctypeDeclHandler(Parser, &TParse::Doctype);
  }
  ~TParse() { XML_ParserFree(Parser); }
  TParse(const TParse&) = delete;
  TParse& operator=(const TParse&) = delete;

  void Fail(std::exception_ptr E) {
    if (!Failure) Failure = E;
    XML_StopParser(Parser, XML_FALSE);
  }

  static void XMLCALL Start(void* Data, const XML_Char* Name, const XML_Char** Attributes) {
    auto* self = static_cast<TParse*>(Data);
    try {
      self->Handler.StartElement(SplitXmlName(Name), TXmlAttributes(Attributes));
    } catch (...) {
      self->Fail(std::current_exception());
    }
  }
  static void XMLCALL End(void* Data, const XML_Char* Name) {
    auto* self = static_cast<TParse*>(Data);
    try {
      self->Handler.EndElement(SplitXmlName(Name));
    } catch (...) {
      self->Fail(std::current_exception());
    }
  }
  static void XMLCALL Characters(void* Data, const XML_Char* Text, int Length) {
    auto* self = static_cast<TParse*>(Data);
    try {
      self->Handler.Text(std::string_view(Text, static_cast<size_t>(Length)));
    } catch (...) {
      self->Fail(std::current_exception());
    }
  }
  static void XMLCALL Doctype(void* Data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    auto* self = static_cast<TParse*>(Data);
    self->Refused = true;
    XML_StopParser(self->Parser, XML_FALSE);
  }

  // After each call of expat's: the handler's exception, or the damage expat found.
  void Check(XML_Status Status) {
    if (Failure) std::rethrow_exception(Failure);
    if (Refused || Status != XML_STATUS_OK) {
      if (XML_GetErrorCode(Parser) == XML_ERROR_NO_MEMORY) throw std::bad_alloc();
      ThrowDamagedWorkbook();
    }
  }
};

} // namespace

const char* TXmlAttributes::Find(std::string_view Local) const {
  for (const char** p = FPairs; *p; p += 2)
    if (SplitXmlName(*p).Local == Local) return p[1];
  return nullptr;
}

const char* TXmlAttributes::Find(std::string_view Namespace, std::string_view Local) const {
  for (const char** p = FPairs; *p; p += 2) {
    const TXmlName name = SplitXmlName(*p);
    if (name.Local == Local && name.Namespace == Namespace) return p[1];
  }
  return nullptr;
}

TXmlName SplitXmlName(const char* Name) {
  // A namespace may hold colons, a local name never does.
  const char* colon = nullptr;
  const char* p = Name;
  for (; *p && *p != NamespaceSeparator; ++p)
    if (*p == ':' && !colon) colon = p;
  const char* separator = *p ? p : colon;
  if (!separator)
    return {std::string_view(), std::string_view(Name, static_cast<size_t>(p - Name))};
  return {std::string_view(Name, static_cast<size_t>(separator - Name)),
          std::string_view(separator + 1)};
}

namespace {

// A large part is inflated on a second thread while the parser reads what is inflated already:
// the inflater fills free pieces, the parser takes full ones in order and gives them back.
class TInflatePipe {
public:
  static constexpr size_t Pieces = 4;
  static constexpr size_t PieceSize = 256 << 10;

  explicit TInflatePipe(TZipEntryReader& Reader) : FReader(Reader) {
    for (size_t i = 0; i < Pieces; ++i) {
      FPieces[i].reset(new char[PieceSize]);
      FFree.push_back(i);
    }
  }

  // The inflater's side, on its own thread, until the entry ends or the parser stops.
  void Inflate() {
    for (;;) {
      size_t piece = 0;
      {
        std::unique_lock<std::mutex> lock(FLock);
        FChanged.wait(lock, [&] { return FStopped || !FFree.empty(); });
        if (FStopped) return;
        piece = FFree.front();
        FFree.pop_front();
      }
      size_t read = 0;
      try {
        read = FReader.Read(FPieces[piece].get(), PieceSize);
      } catch (...) {
        std::lock_guard<std::mutex> lock(FLock);
        FError = std::current_exception();
        FChanged.notify_all();
        return;
      }
      std::lock_guard<std::mutex> lock(FLock);
      FFull.push_back({piece, read});
      FChanged.notify_all();
      if (read == 0) return;
    }
  }

  // The parser's side: the next piece, empty at the end; the inflater's error where it had one.
  std::string_view Next() {
    std::unique_lock<std::mutex> lock(FLock);
    if (FTaken < Pieces) {
      FFree.push_back(FTaken);
      FTaken = Pieces;
      FChanged.notify_all();
    }
    FChanged.wait(lock, [&] { return FError || !FFull.empty(); });
    if (FFull.empty()) std::rethrow_exception(FError);
    const TFull full = FFull.front();
    FFull.pop_front();
    FTaken = full.Piece;
    return std::string_view(FPieces[full.Piece].get(), full.Size);
  }

  void Stop() {
    std::lock_guard<std::mutex> lock(FLock);
    FStopped = true;
    FChanged.notify_all();
  }

private:
  struct TFull {
    size_t Piece, Size;
  };
  TZipEntryReader& FReader;
  std::unique_ptr<char[]> FPieces[Pieces];
  std::mutex FLock;
  std::condition_variable FChanged;
  std::deque<size_t> FFree;
  std::deque<TFull> FFull;
  // The piece the parser holds, Pieces for none.
  size_t FTaken = Pieces;
  bool FStopped = false;
  std::exception_ptr FError;
};

// Large enough that a second thread pays.
constexpr uint64_t PipedPart = 4 << 20;

} // namespace

void ParseXmlPart(TZipArchive& Archive, const TZipEntry& Entry, TXmlHandler& Handler,
                  TXmlNames Names) {
  TZipEntryReader reader(Archive, Entry);
  TParse parse(Handler, Names);
  if (Entry.Size >= PipedPart) {
    TInflatePipe pipe(reader);
    TSideTask inflater([&] { pipe.Inflate(); });
    try {
      for (;;) {
        const std::string_view piece = pipe.Next();
        parse.Check(
            XML_Parse(parse.Parser, piece.data(), static_cast<int>(piece.size()), piece.empty()));
        if (piece.empty()) break;
      }
    } catch (...) {
      pipe.Stop();
      throw;
    }
    inflater.Wait();
    return;
  }
  // Inflated straight into expat's own buffer.
  for (;;) {
    void* buffer = XML_GetBuffer(parse.Parser, Piece);
    if (!buffer) throw std::bad_alloc();
    const size_t read = reader.Read(static_cast<char*>(buffer), Piece);
    parse.Check(XML_ParseBuffer(parse.Parser, static_cast<int>(read), read == 0));
    if (read == 0) return;
  }
}
