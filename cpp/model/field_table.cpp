#include "model/field_table.hpp"

#include <string_view>

#include "model/model_state.hpp"

namespace velmora::model {

namespace {

FieldDefault default_of(field::Real, double value, std::string_view kind) {
    if (kind == "int" && reads_as_integer(value)) return static_cast<long>(value);
    return value;
}
FieldDefault default_of(field::Count, long value, std::string_view) { return value; }
FieldDefault default_of(field::Integer, long value, std::string_view) { return value; }
FieldDefault default_of(field::Flag, bool value, std::string_view) { return value; }
FieldDefault default_of(field::Text, const std::string& value, std::string_view) { return value; }
FieldDefault default_of(field::Mapping, const OrderedMap<double>& value, std::string_view) {
    if (value.empty()) return std::monostate{};
    return value;
}
template <class Shape, class Value>
FieldDefault default_of(Shape, const Value&, std::string_view) {
    return std::monostate{};
}

std::vector<FieldRow> build_table() {
    const ModelParameters parameters;
    const MaterialConstants constants;
    const FlowState flow;
    const SectionState sections;
    std::vector<FieldRow> rows;
#define VELMORA_ROW(part_name, keyword, shape, kind, attribute, initial, unit, meaning) \
    rows.push_back(FieldRow{attribute, keyword, part_name, kind, field::shape::annotation, \
                            field::shape::writable, initial, unit, meaning});
#define VELMORA_PART_ROW(part_name, part, keyword, shape, kind, attribute, member, unit, meaning)                 \
    VELMORA_ROW(part_name, keyword, shape, kind, attribute, default_of(field::shape{}, part.member, kind), unit, \
                meaning)
#define VELMORA_PARAMETER(shape, kind, keyword, attribute, member, initial, unit, meaning) \
    VELMORA_PART_ROW("parameter", parameters, keyword, shape, kind, attribute, member, unit, meaning)
#define VELMORA_CONSTANT(shape, kind, attribute, member, initial, unit, meaning) \
    VELMORA_PART_ROW("material constant", constants, nullptr, shape, kind, attribute, member, unit, meaning)
#define VELMORA_FLOW(shape, kind, attribute, member, initial, unit, meaning) \
    VELMORA_PART_ROW("flow state", flow, nullptr, shape, kind, attribute, member, unit, meaning)
#define VELMORA_SECTION(shape, kind, attribute, member, initial, unit, meaning) \
    VELMORA_PART_ROW("section state", sections, nullptr, shape, kind, attribute, member, unit, meaning)
#define VELMORA_HISTORY(shape, kind, attribute, member, initial, unit, meaning) \
    VELMORA_ROW("history", nullptr, shape, kind, attribute, EmptyList{}, unit, meaning)
#define VELMORA_BOUND(part, kind, attribute, annotation, writable, unit, meaning) \
    rows.push_back(FieldRow{attribute, nullptr, part, kind, annotation, writable, std::monostate{}, unit, meaning});
#include "model/model_fields.def"
#undef VELMORA_ROW
#undef VELMORA_PART_ROW
    return rows;
}

}  // namespace

const std::vector<FieldRow>& field_table() {
    static const std::vector<FieldRow> rows = build_table();
    return rows;
}

}  // namespace velmora::model
