"""Parsing of the host's command language, as far as the PC uses it.

A command is a name followed by parameters, each either KEYWORD(value) or a
positional value. Values may nest parentheses and hold quoted strings, so
SBMJOB CMD(CALL PGM(LIB/PGM) PARM('X')) keeps its inner command whole.
"""

from dataclasses import dataclass

from .names import HostError


@dataclass(frozen=True)
class Syntax:
    positional: tuple = ()  # keywords that may be given by position, in order
    required: tuple = ()
    optional: tuple = ()

    @property
    def keywords(self):
        return set(self.positional) | set(self.required) | set(self.optional)


def parse(text, syntaxes):
    """(name, {keyword: value}) of a command; HostError when it is malformed."""
    tokens = list(_tokens(text))
    if not tokens or tokens[0][0] is not None:
        raise HostError("CPD0020: Command name missing.")
    name = tokens[0][1].upper()
    syntax = syntaxes.get(name)
    if syntax is None:
        raise HostError(f"CPD0030: Command {name} in library *LIBL not found.")
    return name, _bind(tokens[1:], syntax)


def _bind(tokens, syntax):
    bound = {}
    position = 0
    for keyword, value in tokens:
        if keyword is None:
            if position >= len(syntax.positional):
                raise HostError("CPD0003: Too many positional parameters.")
            keyword = syntax.positional[position]
            position += 1
        elif keyword not in syntax.keywords:
            raise HostError(f"CPD0043: Keyword {keyword} not valid for this command.")
        if keyword in bound:
            raise HostError(f"CPD0044: Keyword {keyword} appears more than once.")
        bound[keyword] = value
    for keyword in syntax.required:
        if not bound.get(keyword, "").strip():
            raise HostError(f"CPD0071: Value for parameter {keyword} required.")
    return bound


def values(text):
    """The list of values in a parameter value, quotes removed: 'A' B -> [A, B]."""
    result = []
    for keyword, value in _tokens(text):
        if keyword is not None:
            raise HostError(f"CPD0013: Value {keyword}(...) not expected.")
        result.append(unquote(value))
    return result


def unquote(value):
    if len(value) >= 2 and value[0] == value[-1] == "'":
        return value[1:-1].replace("''", "'")
    return value.upper()


def _tokens(text):
    """(KEYWORD, value) for KEYWORD(value), (None, token) for a positional."""
    i, n = 0, len(text)
    while i < n:
        if text[i] == " ":
            i += 1
            continue
        if text[i] == "'":
            end = _after_quote(text, i)
            yield None, text[i:end]
            i = end
            continue
        start = i
        while i < n and text[i] not in " ()'":
            i += 1
        word = text[start:i]
        if i < n and text[i] == "(":
            if not word:
                raise HostError("CPD0013: Parenthesis not expected.")
            end = _closing_paren(text, i)
            yield word.upper(), text[i + 1:end]
            i = end + 1
        elif i < n and text[i] == ")":
            raise HostError("CPD0011: Parentheses not paired.")
        else:
            yield None, word


def _after_quote(text, start):
    i = start + 1
    while i < len(text):
        if text[i] == "'":
            if text[i + 1:i + 2] == "'":
                i += 2
                continue
            return i + 1
        i += 1
    raise HostError("CPD0010: Closing apostrophe missing.")


def _closing_paren(text, start):
    depth, i = 0, start
    while i < len(text):
        if text[i] == "'":
            i = _after_quote(text, i)
            continue
        if text[i] == "(":
            depth += 1
        elif text[i] == ")":
            depth -= 1
            if depth == 0:
                return i
        i += 1
    raise HostError("CPD0011: Parentheses not paired.")
