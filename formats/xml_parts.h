#pragma once
// The XML parts of a workbook, parsed by expat as they are inflated, piece by piece. Names arrive
// split into namespace and local name, or, where the reader asks only for local names (which is
// faster), into prefix and local name. A part that is not well-formed, or that has a document
// type declaration (refused, so that no entity can be declared, let alone expand), throws the
// damaged workbook's message.
#include <cstddef>
#include <string_view>

#include "formats/zip_archive.h"

struct TXmlName {
  std::string_view Namespace;
  std::string_view Local;
};

// An element's attributes as expat gives them: names and values by turns, ending with nullptr.
class TXmlAttributes {
public:
  explicit TXmlAttributes(const char** Pairs) : FPairs(Pairs) {}
  // The value of the attribute with that local name (and namespace, when given); nullptr when
  // absent.
  const char* Find(std::string_view Local) const;
  const char* Find(std::string_view Namespace, std::string_view Local) const;

private:
  const char** FPairs;
};

class TXmlHandler {
public:
  virtual ~TXmlHandler() = default;
  virtual void StartElement(const TXmlName& Name, const TXmlAttributes& Attributes) = 0;
  virtual void EndElement(const TXmlName& Name) = 0;
  // Character data in pieces, as expat finds it (also between elements).
  virtual void Text(std::string_view Piece) = 0;
};

enum class TXmlNames { Namespaces, Prefixes };

// Parses Entry of Archive into Handler; an exception the handler throws goes on to the caller,
// after the parser has stopped.
void ParseXmlPart(TZipArchive& Archive, const TZipEntry& Entry, TXmlHandler& Handler,
                  TXmlNames Names = TXmlNames::Namespaces);

// Splits a name as the parser gives it: "namespace" separator "local", or "prefix:local".
TXmlName SplitXmlName(const char* Name);
