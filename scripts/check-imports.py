#!/usr/bin/env python3
"""Checks that the shipped programs load and run on every system they are for: each import is
in tools/imports/allowed.txt, the PE header asks for Windows 4.0, the manifest resource is there,
every resource is marked Japanese (0x0411), every dialog template is a classic one (the extended
format came with the Windows 95 shell), and the code holds no instruction newer than the i486
(the processor Windows NT 4.0 needs; Windows 95 runs on a 386DX too).

    check-imports.py ALLOWED EXE... [--sources DIR...]

With --sources, the C++ sources and resource scripts in those folders (the shipped programs'
own) are searched for the names in names-too-new.txt beside ALLOWED: constants the Windows 4.0
headers still define, which no import table shows.

The link map the build writes beside each program (KAVREL.map beside KAVREL.EXE) names the
function an instruction is in and tells the data the linker puts into the code section (the
constructor lists) from code; without it only addresses are given.
"""
import os
import re
import struct
import subprocess
import sys

OBJDUMP = "i686-w64-mingw32-objdump"
CXXFILT = "i686-w64-mingw32-c++filt"

# Every instruction of the 8086 to the i486 and of the 8087 to the 387 (the i486's
# floating-point unit), as objdump spells them in Intel syntax. What a compiler may emit for
# a later processor is missing on purpose: CMOVcc, FCMOVcc, FCOMI/FUCOMI(P) and the multi-byte
# NOP (Pentium Pro), CPUID, RDTSC, CMPXCHG8B (Pentium; CPUID also on late i486s only), MMX,
# SSE and everything after.
I486_INSTRUCTIONS = set("""
    aaa aad aam aas adc add and arpl bound bsf bsr bswap bt btc btr bts call cbw cdq clc cld
    cli clts cmc cmp cmps cmpxchg cwd cwde daa das dec div enter hlt idiv imul in inc ins int
    int3 into invd invlpg iret iretd ja jae jb jbe jcxz je jecxz jg jge jl jle jmp jne jno jnp
    jns jo jp js lahf lar lds lea leave les lfs lgdt lgs lidt lldt lmsw lods loop loope loopne
    lsl lss ltr mov movs movsx movzx mul neg nop not or out outs pop popa popad popf popfd
    push pusha pushad pushf pushfd rcl rcr ret retf rol ror sahf sal sar sbb scas seta setae
    setb setbe sete setg setge setl setle setne setno setnp setns seto setp sets sgdt shl shld
    shr shrd sidt sldt smsw stc std sti stos str sub test verr verw wait wbinvd xadd xchg xlat
    xor
    f2xm1 fabs fadd faddp fbld fbstp fchs fclex fcom fcomp fcompp fcos fdecstp fdiv fdivp fdivr
    fdivrp ffree fiadd ficom ficomp fidiv fidivr fild fimul fincstp finit fist fistp fisub
    fisubr fld fld1 fldcw fldenv fldl2e fldl2t fldlg2 fldln2 fldpi fldz fmul fmulp fnclex fninit
    fnop fnsave fnstcw fnstenv fnstsw fpatan fprem fprem1 fptan frndint frstor fsave fscale fsin
    fsincos fsqrt fst fstcw fstenv fstp fstsw fsub fsubp fsubr fsubrp ftst fucom fucomp fucompp
    fwait fxam fxch fxtract fyl2x fyl2xp1
""".split()) | {
    # Encodings of later processors that every earlier one runs the same way: PAUSE is
    # REP NOP, a plain NOP there; UD2 is there to raise the invalid-opcode fault, which its
    # bytes raise on an i486 as well.
    "pause", "ud2",
}
PREFIXES = {"lock", "rep", "repz", "repnz", "repe", "repne", "data16", "addr16",
            "cs", "ds", "es", "fs", "gs", "ss"}


def allowed_imports(path):
    allowed = set()
    for line in open(path, encoding="utf-8"):
        if line.strip() and not line.startswith("#"):
            dll, function = line.split()[:2]
            allowed.add((dll.upper(), function))
    return allowed


def imports_and_header(exe):
    text = subprocess.run([OBJDUMP, "-p", exe], check=True, capture_output=True,
                          text=True).stdout
    imports, dll, header = [], None, {}
    for line in text.splitlines():
        m = re.match(r"\s*DLL Name: (\S+)", line)
        if m:
            dll = m.group(1).upper()
            continue
        m = re.match(r"\t[0-9a-f]+\t +\d+ +(\w+)$", line)
        if m and dll:
            imports.append((dll, m.group(1)))
            continue
        m = re.match(r"(Major|Minor)(SubsystemVersion|OSystemVersion)\s+(\d+)", line)
        if m:
            header[m.group(1) + m.group(2)] = int(m.group(3))
        if line.startswith("The Export Tables") or line.startswith("PE File Base Relocations"):
            dll = None
    return imports, header


def manifest_text(exe):
    # The resource directory: type 24 (manifest), id 1, read with windres ("" when missing).
    text = subprocess.run(["i686-w64-mingw32-windres", "-i", exe, "-O", "rc"], check=True,
                          capture_output=True, text=True, errors="replace").stdout
    m = re.search(r"^1 24 .*?\nBEGIN\n(.*?)^END", text, re.M | re.S)
    if not m:
        return ""
    # windres writes the manifest as quoted lines, with its quotes doubled.
    return "".join(re.findall(r'^\s*"(.*)"', m.group(1), re.M)).replace('""', '"')


def has_manifest(manifest):
    return "asInvoker" in manifest


# Code page 932 for the process on Windows 11, whatever the system's (older systems ignore it).
ACTIVE_CODE_PAGE = re.compile(r'<activeCodePage\s+xmlns="http://schemas\.microsoft\.com/SMI/'
                              r'2019/WindowsSettings"\s*>\s*ja-JP\s*</activeCodePage>')


RT_DIALOG = 5
LANG_JAPANESE_DEFAULT = 0x0411


def resources(exe):
    """(type, name, language, bytes) of every resource, read from the PE resource directory.
    Types and names are numbers or strings."""
    data = open(exe, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections_count, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    rva, size = struct.unpack_from("<II", data, optional + 96 + 2 * 8)  # data directory 2
    if not rva:
        return []
    sections = []
    for i in range(sections_count):
        at = optional + optional_size + 40 * i
        vsize, vaddr, raw_size, raw_at = struct.unpack_from("<IIII", data, at + 8)
        sections.append((vaddr, max(vsize, raw_size), raw_at))

    def offset(address):
        for vaddr, length, raw_at in sections:
            if vaddr <= address < vaddr + length:
                return raw_at + address - vaddr
        raise ValueError(f"address {address:#x} is in no section")

    base = offset(rva)

    def entries(at):
        named, numbered = struct.unpack_from("<HH", data, base + at + 12)
        for i in range(named + numbered):
            key, target = struct.unpack_from("<II", data, base + at + 16 + 8 * i)
            if key & 0x80000000:
                length = struct.unpack_from("<H", data, base + (key & 0x7FFFFFFF))[0]
                start = base + (key & 0x7FFFFFFF) + 2
                key = data[start:start + 2 * length].decode("utf-16-le")
            yield key, target

    found = []
    for kind, names in entries(0):
        for name, langs in entries(names & 0x7FFFFFFF):
            for lang, leaf in entries(langs & 0x7FFFFFFF):
                data_rva, data_size = struct.unpack_from("<II", data, base + leaf)
                start = offset(data_rva)
                found.append((kind, name, lang, data[start:start + data_size]))
    return found


def check_resources(exe, name):
    """Every resource marked Japanese, every dialog template a classic one (its first DWORD is
    the style; an extended one starts with dlgVer 1 and signature 0xFFFF)."""
    failures, dialogs, found = 0, 0, resources(exe)
    for kind, res_name, lang, body in found:
        if lang != LANG_JAPANESE_DEFAULT:
            print(f"{name}: resource {kind}/{res_name} has language {lang:#06x}, want "
                  f"{LANG_JAPANESE_DEFAULT:#06x}")
            failures += 1
        if kind == RT_DIALOG:
            dialogs += 1
            if len(body) < 4 or struct.unpack_from("<I", body)[0] == 0xFFFF0001:
                print(f"{name}: dialog {res_name} is an extended (DIALOGEX) template")
                failures += 1
    if not found:
        print(f"{name}: no resources read")
        failures += 1
    print(f"{name}: {len(found)} resources checked, {dialogs} of them dialog templates")
    return failures, dialogs


def code_sections(exe):
    """(name, start, end) of each section flagged CODE."""
    text = subprocess.run([OBJDUMP, "-h", exe], check=True, capture_output=True,
                          text=True).stdout
    sections, last = [], None
    for line in text.splitlines():
        m = re.match(r"\s*\d+ (\S+)\s+([0-9a-f]+)\s+([0-9a-f]+)", line)
        if m:
            last = (m.group(1), int(m.group(3), 16), int(m.group(3), 16) + int(m.group(2), 16))
        elif last and "CODE" in line:
            sections.append(last)
            last = None
    return sections


class LinkMap:
    """The functions and the data the link map places in the code sections."""

    def __init__(self, path, code):
        self.names = []  # (address, name), names as the assembler has them
        self.data = []   # (start, end)
        in_code = False
        pending = None   # an input section whose address is on the next line
        code_names = {name for name, _, _ in code}
        for line in open(path, encoding="utf-8", errors="replace"):
            m = re.match(r"^(\.\S+)\s+0x", line)
            if m or re.match(r"^\S", line):
                in_code = bool(m) and m.group(1) in code_names
                continue
            if not in_code:
                continue
            m = re.match(r"^ (\.\S+)(?:\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+\S.*)?$", line)
            if m:
                pending = m.group(1)
                if m.group(2):
                    self._input_section(pending, int(m.group(2), 16), int(m.group(3), 16))
                    pending = None
                continue
            m = re.match(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$", line)
            if m:
                address, size = int(m.group(1), 16), int(m.group(2), 16)
                if pending:
                    self._input_section(pending, address, size)
                    pending = None
                elif re.match(r"(LONG|SHORT|BYTE|QUAD|SQUAD) ", m.group(3)):
                    self.data.append((address, address + size))
                continue
            m = re.match(r"^\s+0x([0-9a-f]+)\s+([^\s=]+)$", line)
            if m:
                symbol = m.group(2)
                self.names.append((int(m.group(1), 16), symbol[1:] if symbol[0] == "_" else symbol))
        self.names.sort()

    def _input_section(self, name, address, size):
        if size == 0:
            return
        if name.startswith((".text", ".init", ".fini")):
            if name.startswith(".text$"):
                self.names.append((address, name[len(".text$"):]))
        else:
            self.data.append((address, address + size))

    def function_at(self, address):
        found = None
        for start, name in self.names:
            if start > address:
                break
            found = name
        return found


def code_runs(sections, data):
    """The stretches of the code sections that hold no data, to be disassembled one by one,
    so no data shifts the decoding of the code after it."""
    runs = []
    for _, start, end in sections:
        at = start
        for data_start, data_end in sorted(data):
            if data_end <= at or data_start >= end:
                continue
            if data_start > at:
                runs.append((at, data_start))
            at = max(at, data_end)
        if at < end:
            runs.append((at, end))
    return runs


def disassemble(exe, start, end):
    text = subprocess.run([OBJDUMP, "-d", "-M", "intel", "--no-show-raw-insn",
                           f"--start-address={start:#x}", f"--stop-address={end:#x}", exe],
                          check=True, capture_output=True, text=True).stdout
    for line in text.splitlines():
        m = re.match(r"\s*([0-9a-f]+):\t(.*)$", line)
        if m and m.group(2).strip():
            yield int(m.group(1), 16), m.group(2).strip()


def newer_than_i486(instruction):
    """Why the instruction is no i486 one, or None."""
    words = instruction.split()
    while words and words[0] in PREFIXES:
        words = words[1:]
    if not words:
        return None
    mnemonic = words[0]
    if mnemonic == "(bad)":
        return "bytes that are no instruction"
    if mnemonic not in I486_INSTRUCTIONS:
        return "newer than the i486"
    if mnemonic == "nop" and len(words) > 1:
        return "the multi-byte NOP, newer than the i486"
    return None


def demangled(names):
    if not names:
        return {}
    out = subprocess.run([CXXFILT, "-n"], input="\n".join(names), check=True,
                         capture_output=True, text=True).stdout.splitlines()
    return dict(zip(names, out))


def check_instructions(exe, name):
    sections = code_sections(exe)
    map_path = os.path.splitext(exe)[0] + ".map"
    link_map = None
    # Written by the same link moments before the program; an older one would misname.
    if os.path.exists(map_path) and os.path.getmtime(map_path) >= os.path.getmtime(exe) - 5:
        link_map = LinkMap(map_path, sections)
    runs = code_runs(sections, link_map.data if link_map else [])
    findings, count, undecodable = [], 0, 0
    for start, end in runs:
        for address, instruction in disassemble(exe, start, end):
            count += 1
            why = newer_than_i486(instruction)
            if why == "bytes that are no instruction" and not link_map:
                undecodable += 1  # the data among the code cannot be told apart
            elif why:
                findings.append((address, instruction, why))
    functions = [link_map.function_at(a) if link_map else None for a, _, _ in findings]
    readable = demangled(sorted({f for f in functions if f}))
    for (address, instruction, why), function in zip(findings, functions):
        where = f" in {readable[function]}" if function else ""
        print(f"{name}: {' '.join(instruction.split())} at {address:#010x}{where}: {why}")
    if not count:
        print(f"{name}: no code disassembled")
        return 1
    note = "" if link_map else f" (no link map: addresses only, {undecodable} undecodable bytes " \
                               "taken for data)"
    print(f"{name}: {count} instructions checked, {len(findings)} newer than the i486{note}")
    return len(findings)


def too_new_names(path):
    names = {}
    for line in open(path, encoding="utf-8"):
        if line.strip() and not line.startswith("#"):
            name, why = line.split(None, 1)
            names[name] = why.strip()
    return names


def check_sources(folders, names):
    """Uses of the names outside comments, in every .cpp, .h and .rc file of the folders."""
    failures, files = 0, 0
    pattern = re.compile(r"\b(" + "|".join(map(re.escape, names)) + r")\b")
    for folder in folders:
        for entry in sorted(os.listdir(folder)):
            if not entry.endswith((".cpp", ".h", ".rc")):
                continue
            files += 1
            path = os.path.join(folder, entry)
            text = open(path, encoding="utf-8", errors="replace").read()
            text = re.sub(r"/\*.*?\*/", lambda m: "\n" * m.group(0).count("\n"), text, flags=re.S)
            for number, line in enumerate(text.splitlines(), 1):
                for m in pattern.finditer(line.split("//", 1)[0]):
                    print(f"{path}:{number}: uses {m.group(1)} ({names[m.group(1)]})")
                    failures += 1
    if not files:
        print("no sources read from", " ".join(folders))
        failures += 1
    print(f"sources: {files} files searched for {len(names)} names too new")
    return failures


def main():
    args = sys.argv[1:]
    folders = []
    if "--sources" in args:
        folders = args[args.index("--sources") + 1:]
        args = args[:args.index("--sources")]
    allowed = allowed_imports(args[0])
    failures = 0
    used = set()
    if folders:
        names = too_new_names(os.path.join(os.path.dirname(args[0]), "names-too-new.txt"))
        failures += check_sources(folders, names)
    for exe in args[1:]:
        imports, header = imports_and_header(exe)
        used.update(imports)
        name = exe.rsplit("/", 1)[-1]
        if not imports:
            print(f"{name}: no imports read")
            failures += 1
        for dll, function in imports:
            if (dll, function) not in allowed:
                print(f"{name}: imports {dll} {function}, which is not in the list")
                failures += 1
        want = {"MajorSubsystemVersion": 4, "MinorSubsystemVersion": 0}
        for field, value in want.items():
            if header.get(field) != value:
                print(f"{name}: {field} is {header.get(field)}, want {value}")
                failures += 1
        manifest = manifest_text(exe)
        if not has_manifest(manifest):
            print(f"{name}: no application manifest resource")
            failures += 1
        elif not ACTIVE_CODE_PAGE.search(manifest):
            print(f"{name}: the manifest asks for no activeCodePage ja-JP")
            failures += 1
        resource_failures, dialogs = check_resources(exe, name)
        failures += resource_failures
        if name.upper() == "KAVREL.EXE" and not dialogs:
            print(f"{name}: no dialog templates read")
            failures += 1
        print(f"{name}: {len(imports)} imports checked")
        failures += check_instructions(exe, name)
    # The list says what the programs need: an entry nothing imports hides that.
    for dll, function in sorted(allowed - used):
        print(f"{sys.argv[1].rsplit('/', 1)[-1]}: {dll} {function} is imported by none of the "
              "programs")
        failures += 1
    print("import check:", "failed" if failures else "passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
