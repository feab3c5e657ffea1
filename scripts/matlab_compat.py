#!/usr/bin/env python3
"""Checks that .m files use only what MATLAB has, by the list of Octave's own
functions and syntax in scripts/octave_only.txt.

    matlab_compat.py scan FILE...             one line per use found; exits 1 if any
    matlab_compat.py standins DIR FILE...     writes DIR/NAME.m for each listed
                                              function, raising an error when called

Code inside "if exist('OCTAVE_VERSION', 'builtin')" (up to its else, elseif or
end) runs in Octave only and may use anything. Stand-ins are not written for
the functions that such branches of the given files call: put in a private/
folder beside the files, the stand-ins make every other call of an Octave-only
function fail in Octave as it would in MATLAB, without touching Octave's own.
"""
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
IDENT = re.compile(r'[A-Za-z_][A-Za-z0-9_]*')
OPENERS = {'if', 'for', 'parfor', 'while', 'switch', 'try', 'function', 'spmd',
           'unwind_protect', 'do'}
END_KEYWORDS = {'endif', 'endfor', 'endparfor', 'endwhile', 'endfunction', 'endswitch',
                'end_try_catch', 'end_unwind_protect'}
OCTAVE_BRANCH = re.compile(
    r"^exist\s*\(\s*'OCTAVE_VERSION'\s*,\s*'builtin'\s*\)\s*(&&.*)?$")
OPERATORS = [  # longest first
    ('.**', 'power-operator', '.** is Octave\'s; MATLAB has .^'),
    ('**', 'power-operator', '** is Octave\'s; MATLAB has ^'),
    ('!=', 'not-operator', '!= is Octave\'s; MATLAB has ~='),
    ('++', 'increment', '++ is Octave\'s'),
] + [(op, 'compound-assignment', op + ' is Octave\'s') for op in ('+=', '-=', '*=', '/=', '^=', '|=', '&=')] + [
    ('!', 'not-operator', '! is Octave\'s not (MATLAB runs a shell command); MATLAB has ~'),
]


def read_list(path=os.path.join(HERE, 'octave_only.txt')):
    functions, rules, shell = set(), set(), set()
    for line in open(path, encoding='utf-8'):
        words = line.split('#', 1)[0].split()
        if len(words) == 2 and words[0] == 'function':
            functions.add(words[1])
        elif len(words) == 2 and words[0] == 'syntax':
            rules.add(words[1])
        elif len(words) == 2 and words[0] == 'shell':
            shell.add(words[1])
    return functions, rules, shell


class Scanner:
    """One file: its statements' tokens, the blocks they open and close, and
    whether each token lies in an Octave-only branch."""

    def __init__(self, path, functions, rules, shell=frozenset()):
        self.path, self.functions, self.rules, self.shell = path, functions, rules, shell
        self.found = []           # (line, message)
        self.octave_calls = set()  # listed functions called in Octave-only branches
        self.blocks = []          # [keyword, octave_only]
        self.depth = 0            # () and {} nesting: end there is an index
        self.pending_if = None    # an if whose condition is being read
        self.condition, self.condition_words = '', []

    def octave_only(self):
        return any(octave for _, octave in self.blocks)

    def report(self, line, rule, message):
        if rule in self.rules and not self.octave_only():
            self.found.append((line, message))

    def word(self, line, name, after_dot):
        if self.pending_if is not None:
            self.condition += name
            self.condition_words.append((line, name, after_dot))
            return
        if after_dot:
            return  # a field name
        if name in OPENERS:
            if name in ('do', 'unwind_protect'):
                self.report(line, 'octave-statement', name + ' is an Octave statement')
            if name == 'if' and self.depth == 0:
                self.pending_if, self.condition, self.condition_words = line, '', []
            else:
                self.blocks.append([name, False])
        elif name == 'end' and self.depth == 0 or name in END_KEYWORDS:
            if name in END_KEYWORDS:
                self.report(line, 'end-keyword', name + ' is Octave\'s; MATLAB ends blocks with end')
            if self.blocks:
                self.blocks.pop()
        elif name in ('else', 'elseif') and self.blocks and self.blocks[-1][0] == 'if':
            self.blocks[-1][1] = False  # the other branch runs in MATLAB too
        elif name in ('until', 'unwind_protect_cleanup'):
            self.report(line, 'octave-statement', name + ' is an Octave statement')
        elif name.startswith('__') and name.endswith('__') and len(name) > 4:
            self.report(line, 'internal-name', name + ' is one of Octave\'s internal functions')
        elif name in self.shell:
            self.found.append((line, name + ' runs a shell command, whose tools a user may not have'))
        elif name in self.functions:
            if self.octave_only():
                self.octave_calls.add(name)
            elif 'function' in self.rules:
                self.found.append((line, name + ' is an Octave function that MATLAB does not have'))

    def statement_end(self):
        if self.pending_if is not None:
            # What follows exist('OCTAVE_VERSION', 'builtin') && runs in
            # Octave only, as does the branch itself.
            octave = bool(OCTAVE_BRANCH.match(self.condition.strip()))
            self.pending_if = None
            self.blocks.append(['if', octave])
            for line, name, after_dot in self.condition_words:
                self.word(line, name, after_dot)

    def scan(self):
        in_block_comment = False
        for number, text in enumerate(open(self.path, encoding='utf-8', errors='replace'), 1):
            stripped = text.strip()
            if stripped in ('%{', '#{'):
                if stripped == '#{':
                    self.report(number, 'hash-comment', '#{ comments are Octave\'s; MATLAB has %{')
                in_block_comment = True
                continue
            if in_block_comment:
                in_block_comment = stripped not in ('%}', '#}')
                continue
            self.line(number, text.rstrip('\n'))
        return self

    def line(self, number, text):
        i, n, previous = 0, len(text), ''  # previous: the last character of code
        continued = False
        while i < n:
            c = text[i]
            if c == '%':
                break
            if c == '#':
                self.report(number, 'hash-comment', '# comments are Octave\'s; MATLAB has %')
                break
            if text.startswith('...', i):
                continued = True
                break
            before = text[i - 1] if i > 0 else ' '
            if c == "'" and not (before.isalnum() or before in "_)]}.'"):
                end = i + 1
                while end < n and not (text[end] == "'" and not text.startswith("''", end)):
                    end += 2 if text.startswith("''", end) else 1
                if self.pending_if is not None:
                    self.condition += text[i:end + 1]
                i, previous = end + 1, 'string'
                continue
            if c == '"':
                self.report(number, 'double-quoted-string',
                            'double-quoted strings are Octave\'s; MATLAB makes a string object')
                end = i + 1
                while end < n and text[end] != '"':
                    end += 2 if text[end] == '\\' or text.startswith('""', end) else 1
                i, previous = end + 1, 'string'
                continue
            match = IDENT.match(text, i)
            if match and not (i > 0 and (text[i - 1].isalnum() or text[i - 1] == '_')):
                after_dot = text[:i].rstrip().endswith('.') and not text[:i].rstrip().endswith('..')
                self.word(number, match.group(), after_dot)
                i, previous = match.end(), match.group()[-1]
                continue
            for op, rule, message in OPERATORS:
                if text.startswith(op, i) and not (op == '!' and text.startswith('!=', i)):
                    self.report(number, rule, message)
                    break
            if c == '-' and text.startswith('--', i) and (previous.isalnum() or previous in '_)]}') \
                    and not re.match(r'--\s*[A-Za-z0-9_(.\[]', text[i:]):
                self.report(number, 'increment', '-- is Octave\'s')
            if self.pending_if is not None and not (c in ',;' and self.depth == 0):
                self.condition += c
            if c in '([{':
                self.depth += 1
            elif c in ')]}':
                self.depth = max(0, self.depth - 1)
            elif c in ',;' and self.depth == 0:
                self.statement_end()
            if not c.isspace():
                previous = c
            i += 1
        if not continued:
            self.statement_end()


def main(argv):
    if len(argv) < 2 or argv[0] not in ('scan', 'standins'):
        sys.exit(__doc__)
    functions, rules, shell = read_list()
    if argv[0] == 'scan':
        found = 0
        for path in argv[1:]:
            for line, message in Scanner(path, functions, rules | {'function'}, shell).scan().found:
                print('%s:%d: %s' % (path, line, message))
                found += 1
        print('matlab-compat: %d file(s), %d use(s) of what MATLAB does not have'
              % (len(argv) - 1, found))
        sys.exit(1 if found else 0)
    folder, files = argv[1], argv[2:]
    allowed = set()
    for path in files:
        allowed |= Scanner(path, functions, set()).scan().octave_calls
    os.makedirs(folder, exist_ok=True)
    for name in sorted(functions - allowed):
        with open(os.path.join(folder, name + '.m'), 'w') as out:
            out.write("function varargout = %s(varargin)\n"
                      "  error('matlabCompat:octaveOnly', "
                      "'%s is an Octave function that MATLAB does not have');\n"
                      "end\n" % (name, name))
    print('matlab-compat: %d stand-in(s) in %s' % (len(functions - allowed), folder))


if __name__ == '__main__':
    main(sys.argv[1:])
