// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The CSV tables of the program as lists of named columns. A column has a name, a unit ("" for
// none) and a rule that gives its field in a row (a function of the row's data); the header row
// and every row are made from the same list, so a column's head and its fields cannot fall out
// of step. Fields go through csv_field (text/csv_file.h) unless the column says otherwise.
#pragma once

#include "model/types.h"
#include "text/csv_file.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace ambrel {

// The head of a column: "<name> (<unit>)", or the name alone when it has no unit.
std::string column_header(std::string_view name, std::string_view unit);

// A number of the program's tables: the shortest text that reads back as the same extended value
// (format_shortest), -0 written as 0.
std::string table_number(Real value);

// How a column's head or field goes into its line: through csv_field, or as it is, for words of
// the program's own that hold no comma, quote or line end, written bare although they may hold a
// blank ("update law").
enum class Quoting { Csv, AsIs };

// A table whose rows are `Row`s.
template <class Row> class ColumnTable {
  public:
    using Rule = std::function<std::string(const Row&)>;

    struct Column {
        std::string name;
        std::string unit; // "" for none
        Rule field;
        Quoting head_quoting = Quoting::Csv;
        Quoting field_quoting = Quoting::Csv;

        std::string header() const { return column_header(name, unit); }
    };

    ColumnTable& add(Column column) {
        columns_.push_back(std::move(column));
        return *this;
    }
    ColumnTable& add(std::string name, std::string unit, Rule field) {
        return add(Column{std::move(name), std::move(unit), std::move(field)});
    }
    // A column of numbers, each through table_number.
    ColumnTable& add_number(std::string name, std::string unit, std::function<Real(const Row&)> value) {
        return add(std::move(name), std::move(unit),
                   [value = std::move(value)](const Row& row) { return table_number(value(row)); });
    }
    // The columns of `table`, reading the part of a row that `part` gives; a row without one
    // (nullptr) has their fields empty.
    template <class Part>
    ColumnTable& add_part(const ColumnTable<Part>& table,
                          std::type_identity_t<std::function<const Part*(const Row&)>> part) {
        for (const auto& column : table.columns()) {
            Column c{column.name, column.unit, {}, column.head_quoting, column.field_quoting};
            c.field = [part, rule = column.field](const Row& row) {
                const Part* p = part(row);
                return p != nullptr ? rule(*p) : std::string();
            };
            columns_.push_back(std::move(c));
        }
        return *this;
    }

    const std::vector<Column>& columns() const { return columns_; }
    std::size_t size() const { return columns_.size(); }

    // The heads of the columns and the fields of a row, as text before any quoting.
    std::vector<std::string> header() const {
        std::vector<std::string> heads;
        heads.reserve(columns_.size());
        for (const Column& c : columns_)
            heads.push_back(c.header());
        return heads;
    }
    std::vector<std::string> fields(const Row& row) const {
        std::vector<std::string> texts;
        texts.reserve(columns_.size());
        for (const Column& c : columns_)
            texts.push_back(c.field(row));
        return texts;
    }

    // The CSV lines, each with its LF.
    std::string header_line() const {
        std::string line;
        for (std::size_t k = 0; k < columns_.size(); ++k)
            append_field(line, k, columns_[k].header(), columns_[k].head_quoting);
        return line + '\n';
    }
    std::string line(const Row& row) const {
        std::string line;
        for (std::size_t k = 0; k < columns_.size(); ++k)
            append_field(line, k, columns_[k].field(row), columns_[k].field_quoting);
        return line + '\n';
    }
    // The header line and a line per row.
    template <class Rows> std::string csv(const Rows& rows) const {
        std::string text = header_line();
        for (const Row& row : rows)
            text += line(row);
        return text;
    }

  private:
    static void append_field(std::string& line, std::size_t k, const std::string& text, Quoting quoting) {
        if (k > 0)
            line += ',';
        line += quoting == Quoting::AsIs ? text : csv_field(text);
    }

    std::vector<Column> columns_;
};

} // namespace ambrel
