#!/usr/bin/env python3
"""Builds the demo packages: stages content/<package>/ with generated art, checks the result,
packs every package into <dat>/<package>.lba with build-package.sh, and draws the contact sheet.

build_content.py --content DIR --stage DIR --dat DIR --packer VN_LBA --builder BUILD_PACKAGE_SH
                 [--sheet PNG] [--jobs N]
"""

import argparse
import concurrent.futures
import os
import shutil
import subprocess
import sys

sys.dont_write_bytecode = True  # the build must not write into the source tree

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "demo"))

import art  # noqa: E402
import check_content  # noqa: E402

ENGINE_PACKAGES = ("core", "dyncfg")


def demo_packages(content):
    return sorted(n for n in os.listdir(content)
                  if os.path.isdir(os.path.join(content, n)) and n not in ENGINE_PACKAGES)


def first_rects(defs):
    """(package, category) -> (x, y) of its first rectangle, to place small pictures in previews."""
    out = {}
    for d in defs.values():
        for c in d.categories:
            nums = c.rect_text.split(",")[0].split()
            if len(nums) == 4:
                out[(d.name, c.name)] = (int(nums[0]), int(nums[1]))
    return out


def default_colours(defs):
    """(package, category) -> (r, g, b) of the layers whose definition gives a DefaultColor."""
    return {(d.name, c.name): c.default_color for d in defs.values() for c in d.categories if c.default_color}


def stage(content, stage_dir, packages):
    problems = []
    defs, previews = check_content.check_packages(content, None, problems)
    problems += art.check_sizes(defs.values())
    if problems:
        return problems
    rects = first_rects(defs)
    for pkg in packages:
        dst = os.path.join(stage_dir, pkg)
        shutil.rmtree(dst, ignore_errors=True)
        src = os.path.join(content, pkg)
        for dirpath, _, names in os.walk(src):
            for n in names:
                if n.endswith(".md"):
                    continue  # notes for people, not for the package
                rel = os.path.relpath(os.path.join(dirpath, n), src)
                os.makedirs(os.path.dirname(os.path.join(dst, rel)), exist_ok=True)
                shutil.copyfile(os.path.join(dirpath, n), os.path.join(dst, rel))
        if pkg in defs:
            for c in defs[pkg].categories:
                art.write_item_pictures(pkg, c.name, max(c.count, 0), dst)
        if pkg in previews:
            art.write_package_pictures(pkg, check_content.get_int(previews[pkg], "ImageCount"), rects, dst,
                                       default_colours(defs))
    return []


def run(cmd):
    r = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    return r.returncode, r.stdout


def render_one(src, dst):
    """name.svg -> name.png; name.jpg.svg -> name.jpg (flattened on black, as the package builder does)."""
    os.makedirs(os.path.dirname(dst), exist_ok=True)
    if src.endswith(".jpg.svg"):
        target = dst[:-4]
        code, out = run(["rsvg-convert", "--format=png", "-o", target + ".png", src])
        if code == 0:
            code, out = run(["convert", target + ".png", "-background", "black", "-flatten", "-quality", "90", target])
        if os.path.exists(target + ".png"):
            os.remove(target + ".png")
        return code, out
    if src.endswith(".svg"):
        return run(["rsvg-convert", "--format=png", "-o", dst[:-4] + ".png", src])
    shutil.copyfile(src, dst)
    return 0, ""


def render(stage_dir, packages, jobs):
    """Renders every staged package into <stage>/_packed/<package> across all cores (the package
    builder would render one file after the other); the builder then only packs."""
    packed = os.path.join(stage_dir, "_packed")
    shutil.rmtree(packed, ignore_errors=True)
    work = []
    for pkg in packages:
        base = os.path.join(stage_dir, pkg)
        for dirpath, _, names in os.walk(base):
            for n in names:
                src = os.path.join(dirpath, n)
                work.append((src, os.path.join(packed, pkg, os.path.relpath(src, base))))
    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        results = list(pool.map(lambda w: render_one(*w), work))
    return ["cannot render %s: %s" % (w[0], r[1].strip()) for w, r in zip(work, results) if r[0] != 0]


def pack(stage_dir, dat, packer, builder, packages, jobs):
    failures = render(stage_dir, packages, jobs)
    if failures:
        return failures
    packed = os.path.join(stage_dir, "_packed")
    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        futures = {pool.submit(run, [builder, os.path.join(packed, p), p, os.path.join(dat, p + ".lba"), packer]): p
                   for p in packages}
        for f in concurrent.futures.as_completed(futures):
            code, out = f.result()
            if code != 0:
                failures.append("%s: %s" % (futures[f], out.strip()))
    if failures:
        return failures
    # Every archive must read back with the packer's own lister.
    for p in packages:
        code, out = run([packer, "list", os.path.join(dat, p + ".lba")])
        if code != 0:
            failures.append("%s.lba does not list: %s" % (p, out.strip()))
    return failures


def contact_sheet(stage_dir, packages, sheet, jobs):
    """Every item picture and icon of every package, labelled package/category/file."""
    thumbs = os.path.join(stage_dir, "_sheet")
    shutil.rmtree(thumbs, ignore_errors=True)
    os.makedirs(thumbs)
    jobs_list = []
    for pkg in packages:
        base = os.path.join(stage_dir, pkg)
        for dirpath, _, names in os.walk(base):
            for n in sorted(names):
                if dirpath == base and n.endswith(".svg"):   # the package's own icon and previews
                    label = "%s.%s" % (pkg, n.replace(".jpg.svg", ".jpg").replace(".svg", ".png"))
                    jobs_list.append((os.path.join(base, n), os.path.join(thumbs, label + ".png"), label, "package"))
            break
        for kind in ("pictures", "icons"):
            for dirpath, _, names in sorted(os.walk(os.path.join(base, kind))):
                for n in sorted(names):
                    src = os.path.join(dirpath, n)
                    # montage labels each tile with its file name (per-file labels are very slow)
                    label = "%s.%s.%s" % (pkg, os.path.basename(dirpath), n.replace(".jpg.svg", ".jpg").replace(".svg", ""))
                    if kind == "icons":
                        label = label.replace(pkg + ".", pkg + ".icon.", 1)
                    out = os.path.join(thumbs, label + ".png")
                    jobs_list.append((src, out, label, kind))
    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        results = list(pool.map(lambda j: run(["rsvg-convert", "-z", "0.4", "-o", j[1], j[0]]), jobs_list))
    bad = [j[0] for j, r in zip(jobs_list, results) if r[0] != 0]
    if bad:
        return ["cannot render for the contact sheet: " + ", ".join(bad[:5])]
    # Pictures are trimmed to what they draw, so small parts on the big canvas stay visible.
    args = ["montage", "-background", "#e9e4da", "-font", "DejaVu-Sans", "-pointsize", "9", "-label", "%t", "-trim"]
    args += [j[1] for j in jobs_list]
    os.makedirs(os.path.dirname(sheet), exist_ok=True)
    args += ["-depth", "8", "-tile", "14x", "-geometry", "120x130+4+4", "-title", "Varnoth demo content: %d pictures and icons" % len(jobs_list),
             sheet + ".tmp.png"]
    code, out = run(args)
    if code != 0:
        return ["montage failed: " + out.strip()]
    os.replace(sheet + ".tmp.png", sheet)
    shutil.rmtree(thumbs, ignore_errors=True)
    return []


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--content", required=True)
    ap.add_argument("--stage", required=True)
    ap.add_argument("--dat")
    ap.add_argument("--packer")
    ap.add_argument("--builder")
    ap.add_argument("--sheet")
    ap.add_argument("--list-icons", help="also write the edit screen's list button sources (for the core package) here")
    ap.add_argument("--jobs", type=int, default=os.cpu_count() or 4)
    a = ap.parse_args()

    packages = demo_packages(a.content)
    problems = stage(a.content, a.stage, packages)
    if not problems:
        check = []
        check_content.check_packages(a.content, a.stage, check)
        defs, previews = check_content.check_packages(a.content, None, [])
        check_content.check_tutorial(defs, previews, check)
        problems += check
    if not problems and a.list_icons:
        defs, _ = check_content.check_packages(a.content, None, [])
        shutil.rmtree(a.list_icons, ignore_errors=True)
        art.write_list_icons(defs, a.list_icons)
    if not problems:
        # The sheet is drawn from the staged sources, so it runs beside the packing.
        with concurrent.futures.ThreadPoolExecutor(2) as pool:
            sheet = pool.submit(contact_sheet, a.stage, packages, a.sheet, a.jobs) if a.sheet else None
            if a.packer and a.builder and a.dat:
                problems += pack(a.stage, a.dat, a.packer, a.builder, packages, a.jobs)
            if sheet:
                problems += sheet.result()
    for p in problems:
        print("build_content: " + p, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
