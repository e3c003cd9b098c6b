// The lexer: reads ksc source text in place, one token at a time, on demand
// of the parser. Two dialects: basic and ksc.5.
#pragma once

#include <cstdint>
#include <vector>

#include "engine.h"

namespace ksc {

enum TokenKind : int32_t {
    T_ERROR = -1,  // an error was reported; parsing stops
    T_EOF = 0,
    T_LF, T_SEMI, T_COMMA, T_HASH, T_COLON,
    T_LPAREN, T_RPAREN, T_LBRACE, T_RBRACE, T_LBRACKET, T_RBRACKET,
    T_INT, T_REAL, T_STRING, T_NAME, T_CALLNAME, T_KEYWORD,
    // prefix forms (an operand was expected)
    T_NOT, T_UPLUS, T_UMINUS, T_BITNOT, T_PREINC, T_PREDEC,
    // postfix forms
    T_POSTINC, T_POSTDEC,
    // binary operators (an operator was expected)
    T_MUL, T_DIV, T_MOD, T_ADD, T_SUB, T_SHL, T_SHR, T_SHL3, T_SHR3,
    T_LT, T_LE, T_GT, T_GE, T_EQ, T_NE, T_BITAND, T_BITXOR, T_BITOR, T_AND, T_OR,
    T_ASSIGN, T_COMPOUND,
};

enum Keyword : int32_t {
    KW_VAR, KW_EXIT, KW_IF, KW_ELSE, KW_WHILE,  // both dialects
    KW_FOR, KW_DO, KW_BREAK, KW_CONTINUE, KW_SWITCH, KW_CASE, KW_DEFAULT, KW_RETURN, KW_FUNCTION,
};

struct LexState {
    Scope* scope;            // owning scope, for error reports
    const char16_t* text;    // start of the whole text
    const char16_t* end;     // the terminating NUL
    const char16_t* start;   // current token
    const char16_t* pos;     // scan position
    int32_t token;
    int32_t keyword;         // with T_KEYWORD
    int32_t compound_op;     // with T_COMPOUND: the T_ binary operator
    int32_t ival;
    double rval;
    const char16_t* text_start;  // T_NAME/T_CALLNAME/T_STRING body
    const char16_t* text_end;
    bool expect_operand;
    bool ends_statement;     // after exit/break/continue/return a line feed is a token
    int32_t line;            // zero-based line counter
    bool ksc5;
    // Cache of the forward bracket-matching test: one scan answers every
    // bracket it passes over, so deeply nested input stays linear.
    std::vector<uint8_t> bracket_memo;
};

void lex_init(LexState* ls, Scope* scope, const char16_t* text, size_t len, bool ksc5);
// Reads the next token into ls->token (T_ERROR after reporting an error).
int32_t lex_next(LexState* ls);
// True when the bracket at p has its matching closing bracket further on.
bool lex_has_match(LexState* ls, const char16_t* p);
// The closing bracket matching the one at p, or null.
const char16_t* lex_find_match(const char16_t* p);

}  // namespace ksc
