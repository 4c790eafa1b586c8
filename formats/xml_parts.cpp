#include "formats/xml_parts.h"

#include <expat.h>

#include <cstring>
#include <exception>
#include <new>

#include "formats/workbook_errors.h"

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

  explicit TParse(TXmlHandler& H) : Handler(H) {
    Parser = XML_ParserCreateNS(nullptr, NamespaceSeparator);
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
  const char* separator = std::strchr(Name, NamespaceSeparator);
  if (!separator) return {std::string_view(), std::string_view(Name)};
  return {std::string_view(Name, static_cast<size_t>(separator - Name)),
          std::string_view(separator + 1)};
}

void ParseXmlPart(TZipArchive& Archive, const TZipEntry& Entry, TXmlHandler& Handler) {
  TZipEntryReader reader(Archive, Entry);
  TParse parse(Handler);
  // Inflated straight into expat's own buffer.
  for (;;) {
    void* buffer = XML_GetBuffer(parse.Parser, Piece);
    if (!buffer) throw std::bad_alloc();
    const size_t read = reader.Read(static_cast<char*>(buffer), Piece);
    parse.Check(XML_ParseBuffer(parse.Parser, static_cast<int>(read), read == 0));
    if (read == 0) return;
  }
}

void ParseXmlText(std::string_view Xml, TXmlHandler& Handler) {
  TParse parse(Handler);
  while (Xml.size() > size_t(Piece)) {
    parse.Check(XML_Parse(parse.Parser, Xml.data(), Piece, XML_FALSE));
    Xml.remove_prefix(Piece);
  }
  parse.Check(XML_Parse(parse.Parser, Xml.data(), static_cast<int>(Xml.size()), XML_TRUE));
}
