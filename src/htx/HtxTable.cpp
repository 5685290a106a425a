#include "htx/HtxTable.h"

namespace {

void WriteTableAt(HtxOutput& out, const RowList& list, int depth);

void WriteCell(HtxOutput& out, const HtxValue& value, int depth) {
    switch (value.Kind()) {
        case HtxKind::Int:
            out.WriteDecimal(value.AsInt());
            break;
        case HtxKind::String:
            out.Write(*value.AsText());
            break;
        case HtxKind::List:
            WriteTableAt(out, *value.AsList(), depth + 1);
            break;
    }
}

void WriteTableAt(HtxOutput& out, const RowList& list, int depth) {
    if (list.empty() || depth >= kMaxTableDepth) {
        return;
    }
    out.Write("<table border=\"1\" cellpadding=\"3\" cellspacing=\"0\">\n<tr>\n");
    VarMap scratch;
    list.Row(0, scratch).ForEach([&](const std::string& name, const HtxValue&) {
        out.Write(" <th bgcolor=\"#B0E0E6\">");
        out.Write(name);
        out.Write("</th>\n");
    });
    out.Write(" </tr>\n");
    for (std::size_t i = 0; i < list.size(); ++i) {
        out.Write(" <tr>\n");
        list.Row(i, scratch).ForEach([&](const std::string&, const HtxValue& value) {
            out.Write(" <th bgcolor=\"#FAEBD7\">");
            WriteCell(out, value, depth);
            out.Write("</th>\n");
        });
        out.Write(" </tr>\n");
    }
    out.Write(" </table>\n");
}

}  // namespace

void WriteTable(HtxOutput& out, const RowList& list) {
    WriteTableAt(out, list, 0);
}
