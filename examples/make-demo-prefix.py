#!/usr/bin/env python3
"""Writes the demo prefix (examples/demo-prefix): a Wine-style prefix whose c:\\tmp\\ holds
project files of every kind, with type libraries and controls made by widl and MinGW (the test
fixtures of tests/fixtures/typelibs) installed and registered in the prefix's registry as Wine
registers them. Project files are windows-1252 with CR LF ends, as Visual Basic writes them."""

import os
import shutil

here = os.path.dirname(os.path.abspath(__file__))
prefix = os.path.join(here, 'demo-prefix')
fixtures = os.path.join(here, '..', 'tests', 'fixtures', 'typelibs')

FACTURACION = '{3F2A9C10-5B7E-4D21-9A6C-0E8B1F4D7A21}'
INVENTARIO = '{A7C1E5D2-0F3B-4C8E-B2D4-6E9F1A3C5B70}'
NOMINAS = '{5D0B7E3A-9C41-4F2E-8A17-C3E6B0D92F48}'
CONTROLES = '{C4E8A1F6-2B7D-4A93-9E05-D1F3B6A8C2E9}'

REF_FACTURACION = 'Reference=*\\G%s#1.0#0#..\\windows\\system32\\facturacion32.dll#Biblioteca de facturación' % FACTURACION
REF_INVENTARIO = 'Reference=*\\G%s#2.5#409#..\\lib\\inventario.tlb#Inventory control library' % INVENTARIO
REF_NOMINAS = 'Reference=*\\G%s#1.a#0#..\\Archivos de programa\\Nominas\\nominas.tlb#Cálculo de nóminas' % NOMINAS
REF_MISSING = 'Reference=*\\G{0D3B2F6A-1C44-4E0B-9B7A-5F2E8C1D3A90}#1.0#0#C:\\no\\existe\\ausente.tlb#Biblioteca ausente'
OBJ_CONTROLES = 'Object=%s#3.0#0; controles32.ocx' % CONTROLES


def tail(name, description):
    return [f'Name="{name}"', 'HelpContextID="0"', 'CompatibleMode="0"', 'MajorVer=1', 'MinorVer=0',
            'RevisionVer=0', 'AutoIncrementVer=0', 'ServerSupportFiles=0',
            'VersionCompanyName="Ferretería Núñez S.A."', f'VersionFileDescription="{description}"',
            'CompilationType=0', 'OptimizationType=0', 'FavorPentiumPro(tm)=0', 'CodeViewDebugInfo=0',
            'NoAliasing=0', 'BoundsCheck=0', 'OverflowCheck=0', 'FlPointCheck=0', 'FDIVCheck=0',
            'UnroundedFP=0', 'StartMode=0', 'Unattended=0', 'Retained=0', 'ThreadPerObject=0',
            'MaxNumberOfThreads=1']


PROJECTS = {
    'Facturacion.vbp': ['Type=Exe', REF_FACTURACION, REF_INVENTARIO, OBJ_CONTROLES, 'Form=frmFacturas.frm',
                        'Form=frmClientes.frm', 'Module=mGlobal; mGlobal.bas', 'Startup="Sub Main"',
                        'Title="Facturación"', 'ExeName32="Facturacion.exe"']
                       + tail('Facturacion', 'Facturación y cobros'),
    'Inventario.vbp': ['Type=Exe', OBJ_CONTROLES, REF_INVENTARIO, 'Form=frmStock.frm',
                       'Class=cArticulo; cArticulo.cls', 'Startup="frmStock"', 'Title="Inventario de almacén"',
                       'ExeName32="Inventario.exe"'] + tail('Inventario', 'Control de existencias'),
    'ReglasNegocio.vbp': ['Type=OleDll', REF_FACTURACION, REF_NOMINAS, 'Class=cCliente; cCliente.cls',
                          'Class=cPedido; cPedido.cls', 'Startup="(None)"', 'Title="Reglas de negocio"',
                          'ExeName32="ReglasNegocio.dll"'] + tail('ReglasNegocio', 'Componente de reglas'),
    'ControlesComunes.vbp': ['Type=Control', OBJ_CONTROLES, 'UserControl=ctlFecha.ctl', 'UserControl=ctlMoneda.ctl',
                             'Startup="(None)"', 'Title="Controles comunes"', 'ExeName32="ControlesComunes.ocx"']
                            + tail('ControlesComunes', 'Controles de usuario'),
    'ServidorInformes.vbp': ['Type=OleExe', REF_FACTURACION, REF_INVENTARIO, REF_NOMINAS,
                             'Class=cInforme; cInforme.cls', 'Module=mArranque; mArranque.bas', 'Startup="Sub Main"',
                             'Title="Servidor de informes"', 'ExeName32="ServidorInformes.exe"']
                            + tail('ServidorInformes', 'Servidor ActiveX de informes'),
    'Nóminas.vbp': ['Type=Exe', REF_NOMINAS, OBJ_CONTROLES, 'Form=frmNómina.frm', 'Startup="frmNómina"',
                    'Title="Nóminas y Señales"', 'ExeName32="Nominas.exe"'] + tail('Nóminas', 'Cálculo de nóminas'),
    'SinNombre.vbp': ['Type=Exe', REF_FACTURACION, 'Form=Form1.frm', 'Startup="Form1"', 'Title="Proyecto sin nombre"',
                      'ExeName32="SinNombre.exe"', 'HelpContextID="0"', 'MajorVer=1', 'MinorVer=0'],
    'utilidades.VBP': ['Type=OleDll', REF_MISSING, 'Module=mCadenas; mCadenas.bas', 'Startup="(None)"',
                       'Title="Utilidades de cadenas"'] + tail('Utilidades', 'Funciones de cadenas'),
}

INSTALLED = {
    'facturacion32.dll': 'windows/system32/facturacion32.dll',
    'controles32.ocx': 'windows/system32/controles32.ocx',
    'nominas.tlb': 'Archivos de programa/Nominas/nominas.tlb',
    'inventario.tlb': 'lib/inventario.tlb',
}

SYSTEM_REG = '''WINE REGISTRY Version 2
;; All keys relative to \\\\Machine

#arch=win32

[Software\\\\Classes\\\\TypeLib\\\\%(F)s] 1700000000
#time=1da0f1c5e6b2a00
@="Biblioteca de facturación"

[Software\\\\Classes\\\\TypeLib\\\\%(F)s\\\\1.0] 1700000000
#time=1da0f1c5e6b2a00
@="Biblioteca de facturación"

[Software\\\\Classes\\\\TypeLib\\\\%(F)s\\\\1.0\\\\0\\\\win32] 1700000000
#time=1da0f1c5e6b2a00
@="C:\\\\windows\\\\system32\\\\facturacion32.dll"

[Software\\\\Classes\\\\TypeLib\\\\%(N)s\\\\1.a\\\\0\\\\win32] 1700000000
#time=1da0f1c5e6b2a00
@=str(2):"%%NOMINAS%%\\\\nominas.tlb"

[Software\\\\Classes\\\\TypeLib\\\\%(C)s\\\\3.0\\\\0\\\\win32] 1700000000
#time=1da0f1c5e6b2a00
@="C:\\\\windows\\\\system32\\\\controles32.ocx"

[System\\\\CurrentControlSet\\\\Control\\\\Session Manager\\\\Environment] 1700000000
#time=1da0f1c5e6b2a00
"NOMINAS"="C:\\\\Archivos de programa\\\\Nominas"
''' % {'F': FACTURACION, 'N': NOMINAS, 'C': CONTROLES}


def source_text(kind, file, controls):
    """A source file as the development environment writes it, small: a form's or control's header
    with the project's control library, a class's properties, a module's code."""
    name = os.path.splitext(file)[0]
    if kind in ('Form', 'UserControl'):
        header = 'VERSION 5.00\r\n'
        if controls:
            header += 'Object = "%s#3.0#0"; "controles32.ocx"\r\n' % CONTROLES
        base = 'VB.Form' if kind == 'Form' else 'VB.UserControl'
        return header + 'Begin %s %s\r\n   Caption = "%s"\r\nEnd\r\nAttribute VB_Name = "%s"\r\n' % (base, name, name, name)
    if kind == 'Class':
        return ('VERSION 1.0 CLASS\r\nBEGIN\r\n  MultiUse = -1  \'True\r\nEND\r\n'
                'Attribute VB_Name = "%s"\r\nOption Explicit\r\n' % name)
    text = 'Attribute VB_Name = "%s"\r\nOption Explicit\r\n' % name
    if name == 'mCadenas':
        # A DLL of its own that no setup of this demo ships: the closure names it.
        text += 'Private Declare Function Recortar Lib "cadenas32" (ByVal s As String) As Long\r\n'
    return text


def write_sources(folder, lines):
    controls = OBJ_CONTROLES in lines
    for line in lines:
        kind, _, value = line.partition('=')
        if kind not in ('Form', 'Module', 'Class', 'UserControl'):
            continue
        file = value.split(';')[-1].strip()
        with open(os.path.join(folder, file), 'wb') as f:
            f.write(source_text(kind, file, controls).encode('cp1252'))


def main():
    drive_c = os.path.join(prefix, 'drive_c')
    tmp = os.path.join(drive_c, 'tmp')
    if os.path.isdir(tmp):
        shutil.rmtree(tmp)
    os.makedirs(tmp)
    os.makedirs(os.path.join(prefix, 'dosdevices'), exist_ok=True)
    for letter, target in (('c:', '../drive_c'), ('z:', '/')):
        link = os.path.join(prefix, 'dosdevices', letter)
        if not os.path.islink(link):
            os.symlink(target, link)
    for name, lines in PROJECTS.items():
        with open(os.path.join(tmp, name), 'wb') as f:
            f.write(('\r\n'.join(lines) + '\r\n').encode('cp1252'))
    # A hidden project and a file of another kind, which the load passes over.
    with open(os.path.join(tmp, '.Borrador.vbp'), 'wb') as f:
        f.write(b'Type=Exe\r\nName="Borrador"\r\n')
    with open(os.path.join(tmp, 'LEEME.txt'), 'wb') as f:
        f.write('Proyectos de demostración de Zantrel.\r\n'.encode('cp1252'))
    for name, lines in PROJECTS.items():
        write_sources(tmp, lines)
    for fixture, place in INSTALLED.items():
        target = os.path.join(drive_c, place)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(os.path.join(fixtures, fixture), target)
    with open(os.path.join(prefix, 'system.reg'), 'wb') as f:
        # Wine writes every character beyond ASCII in its registry files as a \x escape.
        f.write(''.join(c if ord(c) < 128 else '\\x%x' % ord(c) for c in SYSTEM_REG).encode('ascii'))


if __name__ == '__main__':
    main()
