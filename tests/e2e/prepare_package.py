#!/usr/bin/env python3
"""The package as an installer engineer gets it, unpacked and built from, for the end-to-end test.

    prepare_package.py SOURCE_DIR X86_BUILD_DIR AMD64_BUILD_DIR OUT_DIR TARGET

Packs qvnsis-<version>.zip with scripts/make_dist.py from the two build trees, then builds, for
TARGET (x86-unicode or amd64-unicode), from two places the zip is unpacked into:

- OUT_DIR/nsis: a scratch NSIS folder (Debian's stubs, headers and plug-ins, linked) with the zip
  unpacked into it, as its README says; makensis runs with NSISDIR pointing there and builds
  Examples/qvnsis/minimal.nsi and demo.nsi as they are.
- OUT_DIR/project: the zip unpacked into qvnsis/ beside user_script.nsi (package_user_script.nsi
  from this folder), which reaches it with !addincludedir and QVNSIS_PLUGINDIR, as an engineer who
  keeps plug-ins beside the script does; Debian's makensis, whose NSIS folder has no qvnsis, builds
  the two examples from qvnsis/Examples/qvnsis and that script.

The installers are OUT_DIR/<layout>-<example>.exe; OUT_DIR/version.txt is the package's version.
Anything that does not build fails this step, with makensis's output.
"""
import os
import shutil
import subprocess
import sys
import zipfile

DEBIAN_NSIS = "/usr/share/nsis"


def run(command, env=None):
    done = subprocess.run(command, capture_output=True, text=True, env=env)
    if done.returncode != 0:
        sys.exit(f"{' '.join(command)} failed:\n{done.stdout}{done.stderr}")
    return done.stdout


def scratch_nsis(folder):
    """An NSIS folder of our own: Debian's files linked, its Include and Plugins folders real, so
    that the zip can add to them."""
    os.makedirs(folder)
    for name in ("Stubs", "Contrib"):
        os.symlink(os.path.join(DEBIAN_NSIS, name), os.path.join(folder, name))
    os.makedirs(os.path.join(folder, "Include"))
    for name in os.listdir(os.path.join(DEBIAN_NSIS, "Include")):
        os.symlink(os.path.join(DEBIAN_NSIS, "Include", name), os.path.join(folder, "Include", name))
    for target in os.listdir(os.path.join(DEBIAN_NSIS, "Plugins")):
        os.makedirs(os.path.join(folder, "Plugins", target))
        for name in os.listdir(os.path.join(DEBIAN_NSIS, "Plugins", target)):
            os.symlink(os.path.join(DEBIAN_NSIS, "Plugins", target, name),
                       os.path.join(folder, "Plugins", target, name))


def makensis(script, target, outfile, nsisdir=None):
    env = dict(os.environ)
    if nsisdir:
        env["NSISDIR"] = nsisdir
    run(["makensis", "-V2", f"-DTARGET={target}", f"-DOUTFILE={outfile}", script], env)


def main():
    if len(sys.argv) != 6:
        sys.exit("usage: prepare_package.py SOURCE_DIR X86_BUILD_DIR AMD64_BUILD_DIR OUT_DIR TARGET")
    source, x86, amd64, out, target = sys.argv[1:]
    out = os.path.abspath(out)
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    archive = run([sys.executable, os.path.join(source, "scripts", "make_dist.py"), source, x86, amd64,
                   os.path.join(out, "zip")]).strip()
    version = os.path.basename(archive)[len("qvnsis-"):-len(".zip")]
    with open(os.path.join(out, "version.txt"), "w", encoding="utf-8") as f:
        f.write(version + "\n")

    nsis = os.path.join(out, "nsis")
    scratch_nsis(nsis)
    with zipfile.ZipFile(archive) as z:
        z.extractall(nsis)
    for example in ("minimal", "demo"):
        makensis(os.path.join(nsis, "Examples", "qvnsis", f"{example}.nsi"), target,
                 os.path.join(out, f"nsis-{example}.exe"), nsisdir=nsis)

    project = os.path.join(out, "project")
    os.makedirs(project)
    with zipfile.ZipFile(archive) as z:
        z.extractall(os.path.join(project, "qvnsis"))
    shutil.copyfile(os.path.join(os.path.dirname(os.path.abspath(__file__)), "package_user_script.nsi"),
                    os.path.join(project, "user_script.nsi"))
    for example in ("minimal", "demo"):
        makensis(os.path.join(project, "qvnsis", "Examples", "qvnsis", f"{example}.nsi"), target,
                 os.path.join(out, f"project-{example}.exe"))
    makensis(os.path.join(project, "user_script.nsi"), target, os.path.join(out, "project-user.exe"))
    print(f"{archive}: built for {target} in {out}")


if __name__ == "__main__":
    main()
