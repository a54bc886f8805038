"""README.md is the one source of facts; the portable zip's README.txt tells
its own reader a part of them in its own words. Every fact README.txt states
stands in README.md too: a command, a quoted caption, an address, a file,
folder, registry or value name, a number (@VERSION@ as the version).
    python3 readme_facts.py <README.md> <README.txt>"""
import re
import sys

FACT = re.compile(
    r"\breg (?:add|delete) .*?/f\b"  # a command, whole
    r'|"[^"]+"'  # a caption, or a quoted key
    r"|https?://[^\s)]*[^\s).,]|[\w.-]+@[\w-]+\.\w+"  # an address
    r"|[^\s\"(]*\\[^\s\")]*[^\s\").,]"  # a path or registry key, where it has no spaces
    r"|[\w.-]+\.(?:exe|CUR|cjs|example|msi|zip)\b"  # a file
    r"|\b[A-Z][a-z]+(?:[A-Z][a-z\d]*)+\b|\bREG_\w+"  # a value's name or type
    r"|\b\d+(?:\.\d+)*")  # a number


def text(path):
    body = open(path, encoding="utf-8").read()
    body = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", body)  # [text](link)
    return " ".join(body.replace("**", "").replace("`", "").split())


markdown = text(sys.argv[1])
version = re.search(r"GlanceRefresher-(\d+\.\d\d)-x86", markdown).group(1)
portable = text(sys.argv[2]).replace("@VERSION@", version)
missing = sorted({fact for fact in FACT.findall(portable) if fact not in markdown})
for fact in missing:
    print(f"README.txt says what README.md does not: {fact}")
sys.exit(1 if missing else 0)
