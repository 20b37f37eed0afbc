# Lists the facts that winapi's headers state: every constant macro, the size
# of every simple typedef and structure, and the offset of every structure field.
# Output: C++ lines for probe_constants.cpp, each guarded so that a name that
# one host lacks prints as missing instead of breaking the build.
#
#   awk -f win32_facts.awk winapi/include/win/*.h > win32_facts.inc

function trim(s) { sub(/^[ \t]+/, "", s); sub(/[ \t]+$/, "", s); return s }

# Comments: /* ... */ on one line and // to the end of the line.
{ gsub(/\/\*.*\*\//, ""); sub(/\/\/.*/, "") }

/^#define [A-Za-z_][A-Za-z0-9_]*[ \t]/ {
  name = $2
  value = trim(substr($0, index($0, name) + length(name)))
  if (name ~ /^CVLAN_WINAPI_/ || value == "" || (name in constants)) next
  # Numbers, casts and expressions; a bare name only when it is a constant seen already.
  if (value ~ /^[-(~0-9"']/ || (value ~ /^[A-Z_][A-Z0-9_]*$/ && (value in constants))) {
    constants[name] = 1
    printf "#ifdef %s\n  Constant(\"%s\", %s);\n#else\n  Missing(\"%s\");\n#endif\n", name, name, name, name
  }
  next
}

# typedef int BOOL;  typedef unsigned short WORD, USHORT, ATOM;  (pointer names left out)
/^typedef [^(){}]*;$/ && !/^typedef struct/ && !/^typedef union/ {
  line = $0
  sub(/;$/, "", line)
  count = split(line, parts, ",")
  first = parts[1]
  n = split(first, words, /[ \t]+/)
  parts[1] = words[n]
  for (i = 1; i <= count; i++) {
    alias = trim(parts[i])
    if (alias ~ /^[A-Za-z_][A-Za-z0-9_]*$/ && !(alias in sized)) {
      sized[alias] = 1
      printf "  Size(\"%s\", sizeof(%s));\n", alias, alias
    }
  }
  next
}

/^typedef (struct|union)[^;]*\{/ { depth = 1; fieldCount = 0; next }

depth > 0 {
  line = trim($0)
  if (line ~ /\{$/) { depth++; next }
  if (line ~ /^\}/) {
    depth--
    rest = trim(substr(line, 2))
    if (depth == 0) {
      sub(/;$/, "", rest)
      split(rest, names, ",")
      structName = trim(names[1])
      printf "  Size(\"%s\", sizeof(%s));\n", structName, structName
      for (i = 1; i <= fieldCount; i++) printf "  Offset(\"%s\", \"%s\", offsetof(%s, %s));\n", structName, fields[i], structName, fields[i]
    } else if (depth == 1 && rest ~ /^[A-Za-z_][A-Za-z0-9_]*;$/) {
      sub(/;$/, "", rest)
      fields[++fieldCount] = rest
    }
    next
  }
  if (depth == 1 && line ~ /;$/) {
    sub(/;$/, "", line)
    sub(/\[[^]]*\]$/, "", line)
    n = split(line, words, /[ \t*]+/)
    if (words[n] ~ /^[A-Za-z_][A-Za-z0-9_]*$/) fields[++fieldCount] = words[n]
  }
  next
}
