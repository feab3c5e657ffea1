#!/usr/bin/env python3
"""Checks that .m files run unchanged in MATLAB R2018a and GNU Octave 6.1 and
later, by the table of what each host has in scripts/compat_table.txt.

    matlab_compat.py scan FILE...             one line per finding, FILE:LINE: what;
                                              exits 1 if anything is found
    matlab_compat.py standins DIR FILE...     writes DIR/NAME.m for each function that
                                              R2018a lacks, raising an error when called

MATLAB reads a whole file before it runs any of it, so syntax that R2018a
lacks is reported wherever it is, Octave-only branches included. Only calls of
functions may differ between the hosts, inside a branch that the other host
never enters. The scan follows which host can reach each statement through
the guards on exist('OCTAVE_VERSION', 'builtin'): plain, in parentheses,
negated (the else branch is then Octave's), compared with a number (~= 0,
~= 5, == 5, > 0, >= 1, either way round), in an elseif, joined by && to other
tests, or held in a variable. Each guard is worked out from the value exist
returns in each host, 5 in Octave and 0 in MATLAB. A condition that MATLAB can
also satisfy (exist(...) || other) guards nothing.

A name assigned in the file (on the left of =, a parameter or output of a
function, a for or catch variable, a global or persistent) is a variable from
then on, not a call.

Stand-ins are not written for the functions that Octave-only branches of the
given files call: put in a private/ folder beside the files, the stand-ins make
every other call of such a function fail in Octave as it would in MATLAB
R2018a, without touching Octave's own.
"""
import operator
import os
import re
import sys
from collections import namedtuple

HERE = os.path.dirname(os.path.abspath(__file__))
MATLAB, OCTAVE = 'MATLAB R2018a', 'Octave 6.1'
BOTH, NONE = frozenset((MATLAB, OCTAVE)), frozenset()
ONLY_OCTAVE = frozenset((OCTAVE,))
# What exist('OCTAVE_VERSION') and exist('OCTAVE_VERSION', 'builtin') return
# in each host: 5 means "a built-in function", which OCTAVE_VERSION is in
# Octave; 0 means "no such name", as in MATLAB. A guard is any test of that
# value, so the scan evaluates the test with each host's value in turn.
EXIST_OCTAVE_VERSION = {MATLAB: 0, OCTAVE: 5}
UNKNOWN = {MATLAB: None, OCTAVE: None}  # a value the scan cannot know before run time
COMPARISONS = {'==': operator.eq, '~=': operator.ne, '!=': operator.ne, '<': operator.lt,
               '<=': operator.le, '>': operator.gt, '>=': operator.ge}

Entry = namedtuple('Entry', 'kind name matlab octave functions')
Token = namedtuple('Token', 'kind text line space')  # kind: name number string op word

IDENT = re.compile(r'[A-Za-z_][A-Za-z0-9_]*')
NUMBER = re.compile(r'0[xX][0-9a-fA-F]+(?:[su](?:8|16|32|64))?|0[bB][01]+(?:[su](?:8|16|32|64))?'
                    r'|(?:\d+\.?\d*|\.\d+)(?:[eEdD][+-]?\d+)?[ij]?')
OPERATORS = sorted(['.**', '**', '!=', '++', '--', '+=', '-=', '*=', '/=', '^=', '|=', '&=', '.+',
                    '.-', '.^', '.*', './', '.\\', ".'", '==', '~=', '<=', '>=', '&&', '||', '!',
                    '+', '-', '*', '/', '\\', '^', '<', '>', '&', '|', '~', '=', '(', ')', '[',
                    ']', '{', '}', ',', ';', ':', '.', '@'], key=len, reverse=True)
OCTAVE_OPERATORS = {'.**': 'power-operator', '**': 'power-operator', '!=': 'not-operator',
                    '!': 'not-operator', '++': 'increment', '.+': 'elementwise-add',
                    '.-': 'elementwise-add', **{op: 'compound-assignment' for op in
                                                 ('+=', '-=', '*=', '/=', '^=', '|=', '&=')}}
OCTAVE_ENDS = {'endif', 'endfor', 'endparfor', 'endwhile', 'endfunction', 'endswitch',
               'end_try_catch', 'end_unwind_protect', 'endspmd', 'endclassdef',
               'endproperties', 'endmethods', 'endevents', 'endenumeration'}
OPENERS = {'for', 'parfor', 'while', 'switch', 'try', 'spmd', 'classdef'}
CLASS_SECTIONS = {'properties', 'methods', 'events', 'enumeration'}
KEYWORDS = OPENERS | CLASS_SECTIONS | OCTAVE_ENDS | {
    'if', 'elseif', 'else', 'end', 'case', 'otherwise', 'catch', 'function', 'return', 'break',
    'continue', 'global', 'persistent', 'do', 'until', 'unwind_protect', 'unwind_protect_cleanup'}
STRING_CALLS = {'feval', 'str2func', 'cellfun'}  # a function named by their first argument
CODE_CALLS = {'eval', 'evalin'}                  # code in their string arguments
MESSAGES = {
    'hash-comment': '# comments are Octave\'s; MATLAB has %',
    'block-comment-close': '#}} does not close a %{{ block in MATLAB, which reads on as comment',
    'double-quoted-string': 'double-quoted strings are Octave\'s; MATLAB makes a string object',
    'not-operator': '{op} is Octave\'s; MATLAB has ~ and ~=',
    'increment': '{op} is Octave\'s increment or decrement',
    'compound-assignment': '{op} is Octave\'s; MATLAB has x = x {bare} y',
    'power-operator': '{op} is Octave\'s; MATLAB has ^ and .^',
    'elementwise-add': '{op} is Octave\'s; MATLAB has + and -',
    'backslash-continuation': '\\ continues a line in Octave only; MATLAB has ...',
    'end-keyword': '{op} is Octave\'s; MATLAB ends blocks with end',
    'octave-statement': '{op} is an Octave statement',
    'call-index': 'indexing the result of a call or index is Octave\'s; MATLAB needs a variable',
    'declaration-init': 'initialising in a {op} declaration is Octave\'s',
    'hex-literal': 'hexadecimal and binary literals ({op}) need MATLAB {since}',
    'arguments-block': 'arguments blocks need MATLAB {since}',
    'name-value-assignment': 'Name=Value arguments need MATLAB {since}',
}


def read_table(path=os.path.join(HERE, 'compat_table.txt')):
    """The table's rows by kind, then name."""
    table = {'syntax': {}, 'function': {}, 'option': {}, 'shell': {}}
    for number, line in enumerate(open(path, encoding='utf-8'), 1):
        words = line.split('#', 1)[0].split()
        if not words:
            continue
        if words[0] not in table or len(words) not in (4, 5):
            sys.exit('%s:%d: expected KIND NAME MATLAB OCTAVE [FUNCTIONS]' % (path, number))
        functions = frozenset(words[4].split(',')) if len(words) == 5 else frozenset('*')
        table[words[0]][words[1]] = Entry(words[0], words[1], words[2], words[3], functions)
    return table


def lacking(entry, hosts):
    """The hosts among HOSTS whose baseline lacks ENTRY."""
    return {h for h in hosts if (entry.matlab if h == MATLAB else entry.octave) != 'base'}


def describe(entry, hosts):
    since = {MATLAB: entry.matlab, OCTAVE: entry.octave}
    parts = []
    for host in sorted(hosts):
        if since[host] == '-':
            parts.append('not in %s' % host.split()[0])
        else:
            parts.append('not in %s (from %s on)' % (host, since[host]))
    return ', '.join(parts)


class Block:
    def __init__(self, kind, hosts=BOTH):
        self.kind, self.hosts, self.excluded = kind, hosts, NONE


class Scanner:
    """One file, read statement by statement as MATLAB reads it: which host can
    reach each statement, what it names, and what either host lacks."""

    def __init__(self, path, table):
        self.path, self.table = path, table
        self.found = []            # (line, message)
        self.octave_calls = set()  # functions R2018a lacks, called where only Octave goes
        self.blocks = []
        self.variables = set()
        self.guards = {}           # variable -> its value in each host (None: unknown)

    # Reporting -------------------------------------------------------------
    def report(self, line, message):
        if (line, message) not in self.found:
            self.found.append((line, message))

    def syntax(self, line, rule, op=''):
        entry = self.table['syntax'][rule]
        bare = op[:-1] if op.endswith('=') else op
        self.report(line, MESSAGES[rule].format(op=op, bare=bare, since=entry.matlab))

    def context(self):
        hosts = BOTH
        for block in self.blocks:
            hosts = hosts & block.hosts
        return hosts

    def use(self, token, hosts):
        """A name used as a call where HOSTS can reach it."""
        name = token.text
        if name in self.variables or name in KEYWORDS:
            return
        if name in self.table['shell']:
            self.report(token.line, name + ' runs a shell command, whose tools a user may not have')
        elif name.startswith('__') and name.endswith('__') and len(name) > 4:
            if MATLAB in hosts:
                self.report(token.line, name + ' is one of Octave\'s internal functions')
        elif name in self.table['function']:
            entry = self.table['function'][name]
            missing = lacking(entry, hosts)
            if missing:
                self.report(token.line, '%s is %s' % (name, describe(entry, missing)))
            elif hosts == ONLY_OCTAVE and entry.matlab != 'base':
                self.octave_calls.add(name)

    def option(self, token, text, call, hosts):
        entry = self.table['option'].get(text)
        if entry and ('*' in entry.functions or call in entry.functions):
            missing = lacking(entry, hosts)
            if missing:
                self.report(token.line, 'the option %s is %s' % (text, describe(entry, missing)))

    # Reading ---------------------------------------------------------------
    def scan(self):
        statement, brackets, comment_depth = [], [], 0
        for number, text in enumerate(open(self.path, encoding='utf-8', errors='replace'), 1):
            stripped = text.strip()
            if comment_depth or (not statement and stripped in ('%{', '#{')):
                if stripped in ('%{', '#{'):
                    if stripped == '#{':
                        self.syntax(number, 'hash-comment')
                    comment_depth += 1
                elif stripped in ('%}', '#}'):
                    if stripped == '#}':
                        self.syntax(number, 'block-comment-close')
                    comment_depth -= 1
                continue
            continued = self.line(number, text.rstrip('\n'), statement, brackets)
            if not continued:
                if brackets and brackets[-1] in '[{':
                    statement.append(Token('op', ';', number, False))  # a row ends
                else:
                    brackets.clear()
                    self.statement(statement)
                    statement.clear()
        self.statement(statement)
        return self

    def line(self, number, text, statement, brackets):
        """Adds the line's tokens to STATEMENT, handing each finished statement
        on; says whether the statement continues on the next line."""
        i, n, space = 0, len(text), True
        while i < n:
            c = text[i]
            if c.isspace():
                i, space = i + 1, True
                continue
            if c == '%':
                break
            if c == '#':
                self.syntax(number, 'hash-comment')
                break
            if text.startswith('...', i):
                return True
            if c == '\\' and re.fullmatch(r'\s*([%#].*)?', text[i + 1:]):
                self.syntax(number, 'backslash-continuation')
                return True
            previous = statement[-1] if statement else None
            if len(statement) == 1 and space and self.command_syntax(statement[0], text, i):
                end = self.command_end(text, i)
                for word in text[i:end].split():
                    statement.append(Token('word', word, number, True))
                i, space = end, False
                continue
            if c == "'" and not self.transpose(previous, space, brackets):
                end = i + 1
                while end < n and not (text[end] == "'" and not text.startswith("''", end)):
                    end += 2 if text.startswith("''", end) else 1
                statement.append(Token('string', text[i + 1:end].replace("''", "'"), number, space))
                i, space = end + 1, False
                continue
            if c == '"':
                self.syntax(number, 'double-quoted-string')
                end = i + 1
                while end < n and text[end] != '"':
                    end += 2 if text[end] == '\\' or text.startswith('""', end) else 1
                statement.append(Token('string', text[i + 1:end], number, space))
                i, space = end + 1, False
                continue
            match = NUMBER.match(text, i) if c.isdigit() or (c == '.' and text[i + 1:i + 2].isdigit()) \
                else IDENT.match(text, i)
            if match:
                word = match.group()
                if word[:2].lower() in ('0x', '0b'):
                    self.syntax(number, 'hex-literal', word)
                statement.append(Token('number' if c.isdigit() or c == '.' else 'name', word, number, space))
                i, space = match.end(), False
                continue
            op = next((o for o in OPERATORS if text.startswith(o, i)), c)
            if op == '--':
                # x-- after a name, --x before one; a - -1 and a--1 are MATLAB's.
                after = text[i + 2:i + 3]
                hugs_left = operand(previous) and not space
                if (hugs_left and not (after.isalnum() or after in '_(.')) \
                        or ((after.isalpha() or after == '_') and not hugs_left):
                    self.syntax(number, 'increment', op)
                else:
                    op = '-'
            elif op in OCTAVE_OPERATORS:
                self.syntax(number, OCTAVE_OPERATORS[op], op)
            if op in ('(', '[', '{'):
                brackets.append(op)
            elif op in (')', ']', '}') and brackets:
                brackets.pop()
            if op in (',', ';') and not brackets:
                self.statement(statement)
                statement.clear()
            else:
                statement.append(Token('op', op, number, space))
            i, space = i + len(op), False
        return False

    def transpose(self, previous, space, brackets):
        """A quote after an operand is a transpose, unless a space parts them
        inside [] or {}, where it starts a string element."""
        if not operand(previous):
            return False
        return not (space and brackets and brackets[-1] in '[{')

    def command_syntax(self, first, text, i):
        """NAME word...: MATLAB's command form, as in hold on or print -dpng
        f.png. A name that is a variable, a keyword, or followed by = or ( or
        by an operator and a space is an expression instead."""
        if first.kind != 'name' or first.text in KEYWORDS or first.text in self.variables:
            return False
        c = text[i]
        if c in '(=,;%' and not text.startswith('==', i):
            return False
        op = next((o for o in OPERATORS if text.startswith(o, i)), None)
        if op and c not in "'" and op not in ('(', '[', '{'):
            return not text[i + len(op):i + len(op) + 1].isspace() and i + len(op) < len(text)
        return True

    @staticmethod
    def command_end(text, i):
        """Where a command-form statement's words end: ; , or % outside quotes."""
        quoted = False
        while i < len(text):
            if text[i] == "'":
                quoted = not quoted
            elif not quoted and text[i] in ',;%':
                break
            i += 1
        return i

    # Statements ------------------------------------------------------------
    def statement(self, tokens):
        if not tokens:
            return
        first = tokens[0]
        word = first.text if first.kind == 'name' else None
        hosts = self.context()
        top = self.blocks[-1] if self.blocks else None
        if word == 'if':
            possible, always = truth(self.condition(tokens[1:], hosts))
            block = Block('if', possible)
            block.excluded = always
            self.blocks.append(block)
        elif word == 'elseif' and top and top.kind == 'if':
            outer = self.context_below()
            possible, always = truth(self.condition(tokens[1:], outer - top.excluded))
            top.hosts = possible - top.excluded
            top.excluded = top.excluded | always
        elif word == 'else' and top and top.kind == 'if':
            top.hosts = BOTH - top.excluded
            self.statement(tokens[1:])  # else x = 1 on one line
        elif word == 'end' or word in OCTAVE_ENDS:
            if word in OCTAVE_ENDS:
                self.syntax(first.line, 'end-keyword', word)
            if self.blocks:
                self.blocks.pop()
        elif word in ('for', 'parfor'):
            rest = tokens[1:]
            if rest and rest[0].text == '(':
                rest = rest[1:-1]
            if len(rest) > 1 and rest[0].kind == 'name' and rest[1].text == '=':
                self.variables.add(rest[0].text)
                rest = rest[2:]
            self.expression(rest, hosts)
            self.blocks.append(Block(word))
        elif word in OPENERS or (word in CLASS_SECTIONS and top and top.kind == 'classdef'):
            self.expression(tokens[1:], hosts)
            self.blocks.append(Block(word))
        elif word == 'catch':
            if len(tokens) > 1 and tokens[1].kind == 'name':
                self.variables.add(tokens[1].text)
        elif word == 'function':
            self.function(tokens[1:])
            self.blocks.append(Block('function'))
        elif word in ('do', 'unwind_protect'):
            self.syntax(first.line, 'octave-statement', word)
            self.blocks.append(Block(word))
        elif word in ('until', 'unwind_protect_cleanup'):
            self.syntax(first.line, 'octave-statement', word)
            if word == 'until':
                self.expression(tokens[1:], hosts)
                if top and top.kind == 'do':
                    self.blocks.pop()
        elif word in ('global', 'persistent'):
            if any(t.text == '=' for t in tokens):
                self.syntax(first.line, 'declaration-init', word)
            self.variables.update(t.text for t in tokens[1:] if t.kind in ('name', 'word'))
        elif word == 'arguments' and top and top.kind == 'function' and \
                all(t.text in '()' or t.kind == 'name' for t in tokens[1:]) and len(tokens) <= 4:
            self.syntax(first.line, 'arguments-block')
            self.blocks.append(Block('arguments'))
        elif word in ('case', 'otherwise', 'return', 'break', 'continue', 'else', 'elseif'):
            self.expression(tokens[1:], hosts)
        elif len(tokens) > 1 and tokens[1].kind == 'word':
            self.use(first, hosts)
            for token in tokens[1:]:
                self.option(token, token.text, first.text, hosts)
        else:
            self.assignment_or_expression(tokens, hosts)

    def context_below(self):
        hosts = BOTH
        for block in self.blocks[:-1]:
            hosts = hosts & block.hosts
        return hosts

    def function(self, tokens):
        """function [outputs] = name(parameters): all of them variables."""
        names = [t.text for t in tokens if t.kind == 'name']
        if any(t.text == '=' for t in tokens):
            at = next(k for k, t in enumerate(tokens) if t.text == '=')
            outputs = [t.text for t in tokens[:at] if t.kind == 'name']
            names = outputs + [t.text for t in tokens[at + 2:] if t.kind == 'name']
        else:
            names = names[1:]
        self.variables.update(names)

    def assignment_or_expression(self, tokens, hosts):
        depth, at = 0, None
        for k, token in enumerate(tokens):
            if token.kind == 'op' and token.text in ('(', '[', '{'):
                depth += 1
            elif token.kind == 'op' and token.text in (')', ']', '}'):
                depth -= 1
            elif token.kind == 'op' and token.text == '=' and depth == 0:
                at = k
                break
        if at is None:
            self.expression(tokens, hosts)
            return
        left, right = tokens[:at], tokens[at + 1:]
        if left[0].text == '[':
            targets = [t.text for k, t in enumerate(left) if t.kind == 'name' and
                       not (k > 0 and left[k - 1].text == '.')]
            self.variables.update(targets)
        else:
            targets = [left[0].text] if left[0].kind == 'name' else []
            self.variables.update(targets)
            self.expression(left[1:], hosts)
        values = self.condition(right, hosts)
        for name in targets:
            # Kept only when the hosts' values differ: then the variable guards.
            if len(targets) == 1 and values[MATLAB] != values[OCTAVE]:
                self.guards[name] = values
            else:
                self.guards.pop(name, None)

    def expression(self, tokens, hosts):
        """Checks the names, strings and operators of an expression that HOSTS
        can reach."""
        calls = []  # for each open bracket, the name it follows (a call or index)
        for k, token in enumerate(tokens):
            previous = tokens[k - 1] if k else None
            if token.text == '@' and k + 1 < len(tokens) and tokens[k + 1].text == '(':
                # An anonymous function's parameters.
                self.variables.update(t.text for t in tokens[k + 2:closing(tokens, k + 1)]
                                      if t.kind == 'name')
            if token.kind == 'name' and not (previous and previous.text == '.'):
                following = tokens[k + 1] if k + 1 < len(tokens) else None
                if not (following and following.text == '=' and calls and calls[-1][1] == '('):
                    self.use(token, hosts)
            elif token.kind == 'string':
                call = calls[-1][0] if calls else None
                self.option(token, token.text, call, hosts)
                if call in STRING_CALLS and previous.text == '(' and IDENT.fullmatch(token.text):
                    self.use(token, hosts)
                elif call in CODE_CALLS:
                    for name in IDENT.findall(token.text):
                        self.use(Token('name', name, token.line, False), hosts)
            elif token.kind == 'op':
                if token.text in ('(', '[', '{'):
                    name = previous.text if previous and previous.kind == 'name' else None
                    if previous and previous.text in (')',) and token.text in ('(', '{') and \
                            not (token.space and any(b == '[' or b == '{' for _, b in calls)):
                        self.syntax(token.line, 'call-index')
                    calls.append((name, token.text))
                elif token.text in (')', ']', '}') and calls:
                    calls.pop()
                elif token.text == '=' and calls and calls[-1][1] == '(':
                    self.syntax(token.line, 'name-value-assignment')

    def condition(self, tokens, hosts):
        """The condition's value in each host (None where it cannot be known
        before run time), checking its parts where they are evaluated: after
        && only where the left side may be true, after || only where it may be
        false."""
        parts = split(tokens, ('||', '|'))
        if len(parts) == 1:
            return self.conjunction(tokens, hosts)
        values = {host: 0 for host in BOTH}
        for part in parts:
            value = self.conjunction(part, hosts - truth(values)[1])
            values = {h: 1 if true(values[h]) or true(value[h]) else
                      None if values[h] is None or value[h] is None else 0 for h in BOTH}
        return values

    def conjunction(self, tokens, hosts):
        parts = split(tokens, ('&&', '&'))
        if len(parts) == 1:
            return self.unary(tokens, hosts)
        values = {host: 1 for host in BOTH}
        for part in parts:
            value = self.unary(part, hosts & truth(values)[0])
            values = {h: 0 if values[h] == 0 or value[h] == 0 else
                      None if values[h] is None or value[h] is None else 1 for h in BOTH}
        return values

    def unary(self, tokens, hosts):
        if tokens and tokens[0].text in ('~', '!'):
            values = self.unary(tokens[1:], hosts)
            return {h: None if v is None else int(v == 0) for h, v in values.items()}
        if len(tokens) > 2 and tokens[0].text == '(' and closing(tokens, 0) == len(tokens) - 1:
            return self.condition(tokens[1:-1], hosts)
        self.expression(tokens, hosts)
        parts = split(tokens, COMPARISONS)
        if len(parts) == 1:
            return self.value(tokens, numbers=False)
        if len(parts) == 2:
            test = COMPARISONS[tokens[len(parts[0])].text]
            left, right = self.value(parts[0]), self.value(parts[1])
            return {h: None if left[h] is None or right[h] is None else int(test(left[h], right[h]))
                    for h in BOTH}
        return dict(UNKNOWN)

    def value(self, tokens, numbers=True):
        """What TOKENS hold in each host, where the scan can tell: the call
        exist('OCTAVE_VERSION'[, 'builtin']), a variable holding a guard, or
        (with NUMBERS, as one side of a comparison) a number."""
        texts = [t.text for t in tokens]
        if texts[:3] == ['exist', '(', 'OCTAVE_VERSION'] and tokens[2].kind == 'string' and \
                texts[-1] == ')' and texts[3:-1] in ([], [',', 'builtin']):
            return dict(EXIST_OCTAVE_VERSION)
        if len(tokens) == 1 and texts[0] in self.guards:
            return dict(self.guards[texts[0]])
        if numbers and len(tokens) == 1 and tokens[0].kind == 'number':
            try:
                return {host: float(texts[0]) for host in BOTH}
            except ValueError:  # 0xFF, 1d3, 2i: not worth reading
                pass
        return dict(UNKNOWN)


def true(value):
    return value is not None and value != 0


def truth(values):
    """(hosts in which a condition of these VALUES may be true, hosts in which
    it is always true)."""
    return (frozenset(h for h, v in values.items() if v is None or v != 0),
            frozenset(h for h, v in values.items() if true(v)))


def operand(token):
    """Whether TOKEN ends an operand (so that ' after it is a transpose)."""
    return token is not None and (token.kind in ('name', 'number') or
                                  token.text in (')', ']', '}', "'", ".'"))


def split(tokens, operators):
    """TOKENS cut at the given operators outside brackets."""
    parts, depth, start = [], 0, 0
    for k, token in enumerate(tokens):
        if token.text in ('(', '[', '{'):
            depth += 1
        elif token.text in (')', ']', '}'):
            depth -= 1
        elif depth == 0 and token.kind == 'op' and token.text in operators:
            parts.append(tokens[start:k])
            start = k + 1
    parts.append(tokens[start:])
    return parts


def closing(tokens, k):
    depth = 0
    for j in range(k, len(tokens)):
        if tokens[j].text in ('(', '[', '{'):
            depth += 1
        elif tokens[j].text in (')', ']', '}'):
            depth -= 1
            if depth == 0:
                return j
    return -1


def main(argv):
    if len(argv) < 2 or argv[0] not in ('scan', 'standins'):
        sys.exit(__doc__)
    table = read_table()
    if argv[0] == 'scan':
        found = 0
        for path in argv[1:]:
            for line, message in sorted(Scanner(path, table).scan().found):
                print('%s:%d: %s' % (path, line, message))
                found += 1
        print('matlab-compat: %d file(s), %d use(s) of what MATLAB R2018a or Octave 6.1 lacks'
              % (len(argv) - 1, found))
        sys.exit(1 if found else 0)
    folder, files = argv[1], argv[2:]
    allowed = set()
    for path in files:
        allowed |= Scanner(path, table).scan().octave_calls
    barred = sorted(name for name, entry in table['function'].items()
                    if entry.matlab != 'base' and entry.octave != '-' and name not in allowed)
    os.makedirs(folder, exist_ok=True)
    for name in barred:
        with open(os.path.join(folder, name + '.m'), 'w') as out:
            out.write("function varargout = %s(varargin)\n"
                      "  error('matlabCompat:notInMatlab', "
                      "'%s is not in MATLAB R2018a');\n"
                      "end\n" % (name, name))
    print('matlab-compat: %d stand-in(s) in %s' % (len(barred), folder))


if __name__ == '__main__':
    main(sys.argv[1:])
