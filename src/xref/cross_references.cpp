#include "xref/cross_references.h"

namespace lexiform::xref {

std::string_view SymbolKindName(SymbolKind kind) {
  switch (kind) {
  case SymbolKind::Unit:
    return "unit";
  case SymbolKind::Type:
    return "type";
  case SymbolKind::Class:
    return "class";
  case SymbolKind::Record:
    return "record";
  case SymbolKind::Object:
    return "object";
  case SymbolKind::Interface:
    return "interface";
  case SymbolKind::Enumeration:
    return "enumeration";
  case SymbolKind::EnumValue:
    return "enumeration value";
  case SymbolKind::TypeParameter:
    return "type parameter";
  case SymbolKind::Constant:
    return "constant";
  case SymbolKind::ResourceString:
    return "resourcestring";
  case SymbolKind::Variable:
    return "variable";
  case SymbolKind::ThreadVar:
    return "threadvar";
  case SymbolKind::Field:
    return "field";
  case SymbolKind::Property:
    return "property";
  case SymbolKind::Procedure:
    return "procedure";
  case SymbolKind::Function:
    return "function";
  case SymbolKind::Constructor:
    return "constructor";
  case SymbolKind::Destructor:
    return "destructor";
  case SymbolKind::Operator:
    return "operator";
  case SymbolKind::Parameter:
    return "parameter";
  case SymbolKind::Label:
    return "label";
  }
  return "name";
}

// Binds nothing yet: every file has no marked names.
CrossReferences::CrossReferences(const FileLinkResolver& links, std::size_t fileCount,
                                 const TextReader& readText, unsigned threads)
    : occurrences_(fileCount) {
  (void)links;
  (void)readText;
  (void)threads;
}

const std::vector<Occurrence>& CrossReferences::OccurrencesIn(std::size_t file) const {
  return occurrences_.at(file);
}

const std::vector<ReferencePlace>& CrossReferences::ReferencesTo(std::size_t symbol) const {
  return references_.at(symbol);
}

} // namespace lexiform::xref
